#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_PUBLIC_KEY_FILE_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_PUBLIC_KEY_FILE_H_

#include <string>

// The vendor's minisign public key file, one key or several one after
// another, read into *text as it is to ship: the bytes that were checked
// are the bytes the bundle gets. Empty when it will do, else the one line
// to tell the vendor why not: it cannot be read, is larger than the
// installer reads, or does not parse as the installer parses it.
std::string readPublicKeyFile(const std::string& path, std::string* text);

#endif
