#include "platform/temp_dir.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/remove_tree.h"

namespace {

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// mkdtemp below parent; empty when it cannot create the directory.
std::string makeScratchDirectory(std::string parent) {
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  std::string dir = makeUniqueDirectory((parent == "/" ? "" : parent) + "/zr");
  return dir.empty() ? dir : absolute(dir);
}

}  // namespace

std::string makeUniqueDirectory(const std::string& prefix) {
  std::string pattern = prefix + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) ? buffer.data() : "";
}

std::string temporaryDirectory() {
  const char* tmpdir = getenv("TMPDIR");
  return (tmpdir && *tmpdir) ? tmpdir : "/tmp";
}

TempDir::TempDir() {
  std::string parent = temporaryDirectory();
  dir_ = makeScratchDirectory(parent);
  // A broken TMPDIR would otherwise send the agent's files into the
  // directory beside the bundle, where they stay and may overwrite others.
  if (dir_.empty() && parent != "/tmp") dir_ = makeScratchDirectory("/tmp");
}

TempDir::~TempDir() {
  if (!dir_.empty()) removeTree(dir_);
}

std::string TempDir::getDir() const { return dir_; }
