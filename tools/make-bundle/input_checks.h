#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_INPUT_CHECKS_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_INPUT_CHECKS_H_

#include <string>

// Each check returns an empty string when its input will do, else the one
// line to tell the vendor why not.

// A regular file that can be read; what names it in the message.
std::string checkReadableFile(const std::string& what, const std::string& path);
// The payload: a zip archive.
std::string checkPayload(const std::string& path);
// The agent: an intact zip archive with the install script at its top
// level, where the bootstrap installer looks for it after unpacking.
std::string checkAgentArchive(const std::string& path);
// The download address: an http or https URL with a host, on one line.
std::string checkAgentUrl(const std::string& url);
// The splash picture: a PNG file.
std::string checkSplash(const std::string& path);

#endif
