#ifndef BOOTSTRAP_TOOLS_AGENT_SERVER_SERVED_FILE_H_
#define BOOTSTRAP_TOOLS_AGENT_SERVER_SERVED_FILE_H_

#include <sys/types.h>

#include <memory>
#include <string>

// What an archive's detached signature file adds to the archive's name.
constexpr char kSignatureSuffix[] = ".minisig";

// One file opened for one reply: its size and a strong ETag made from its
// bytes, so that the validator always describes what is sent. Closed when
// the last holder lets go.
struct ServedFile {
  ~ServedFile();
  int fd = -1;
  off_t size = 0;
  std::string etag;
};

// What the server offers: one archive under its own name, with the
// signature file beside it (its name and ".minisig") when there is one, or
// every regular file of a directory under its name. Nothing else, and
// nothing below the directory, is reachable.
class ServedFiles {
 public:
  // False with *error set when path is neither a file nor a directory.
  bool init(const std::string& path, std::string* error);
  // The file that a decoded request path names; null when it names none.
  std::shared_ptr<ServedFile> open(const std::string& requestPath) const;
  // The URL path to announce: "/<name>" for an archive, "/" for a directory.
  std::string announcedPath() const;

 private:
  bool offers(const std::string& name) const;

  std::string directory_;
  std::string onlyName_;  // set when one archive is served
};

// "/<name>" with the bytes a URL path cannot hold as they are escaped.
std::string urlPathOf(const std::string& name);

#endif
