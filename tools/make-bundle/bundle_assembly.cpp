#include "bundle_assembly.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "common/write_all.h"
#include "platform/remove_tree.h"
#include "platform/temp_dir.h"
#include "rename_no_replace.h"

namespace {

volatile sig_atomic_t stoppedBy = 0;

void noteStop(int sig) { stoppedBy = sig; }

// While it lives, a signal that would end the program only stops the
// assembly, so that the half-made bundle is removed.
class StopSignals {
 public:
  StopSignals() {
    struct sigaction action = {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &old_[i]);
  }
  ~StopSignals() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &old_[i], nullptr);
  }

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction old_[3];
};
constexpr int StopSignals::kSignals[3];

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + strerror(errno);
}

// Copies source to the open file out, named to; stops early, yet
// succeeds, once a stop signal came.
bool copyInto(const std::string& source, int out, const std::string& to,
              std::string* error) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    *error = failure("cannot read", source);
    return false;
  }
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  for (ssize_t n;
       ok && !stoppedBy && (n = read(in, buffer.data(), buffer.size())) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      *error = failure("cannot read", source);
    else if (!writeAll(out, buffer.data(), static_cast<size_t>(n)))
      *error = failure("cannot write", to);
    ok = n > 0 && error->empty();
  }
  close(in);
  return ok;
}

// Makes the file to from the entry: its source's copy, or its content.
bool placeFile(const BundleEntry& entry, const std::string& to,
               std::string* error) {
  int out =
      open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, entry.mode);
  if (out < 0) {
    *error = failure("cannot create", to);
    return false;
  }
  bool ok;
  if (entry.source.empty()) {
    ok = writeAll(out, entry.content.data(), entry.content.size());
    if (!ok) *error = failure("cannot write", to);
  } else {
    ok = copyInto(entry.source, out, to, error);
  }
  if (close(out) != 0 && ok) {
    *error = failure("cannot write", to);
    ok = false;
  }
  return ok;
}

// Makes the directories between root and the file target.
bool makeParents(const std::string& root, const std::string& target,
                 std::string* error) {
  for (size_t slash = target.find('/'); slash != std::string::npos;
       slash = target.find('/', slash + 1)) {
    std::string dir = root + "/" + target.substr(0, slash);
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = failure("cannot create", dir);
      return false;
    }
  }
  return true;
}

bool fillDirectory(const std::string& root,
                   const std::vector<BundleEntry>& entries,
                   std::string* error) {
  for (const BundleEntry& entry : entries) {
    if (!makeParents(root, entry.target, error) ||
        !placeFile(entry, root + "/" + entry.target, error))
      return false;
    if (stoppedBy) {
      *error = std::string("stopped by ") + strsignal(stoppedBy);
      return false;
    }
  }
  // mkdtemp made it private; a bundle is as readable as any other file.
  mode_t mask = umask(0);
  umask(mask);
  if (chmod(root.c_str(), 0777 & ~mask) != 0) {
    *error = failure("cannot open up", root);
    return false;
  }
  return true;
}

// Renames from to to unless to exists, even an empty directory that a
// plain rename would replace.
bool renameIntoPlace(const std::string& from, const std::string& to,
                     std::string* error) {
  int done = renameNoReplace(from.c_str(), to.c_str());
  if (done != 0 && errno == EINVAL) {  // a file system that cannot do that
    struct stat st;
    done = lstat(to.c_str(), &st) == 0 ? (errno = EEXIST, -1)
                                       : rename(from.c_str(), to.c_str());
  }
  if (done == 0) return true;
  *error = errno == EEXIST || errno == ENOTEMPTY
               ? to + " appeared meanwhile; it is left as it is"
               : failure("cannot rename the bundle into place at", to);
  return false;
}

}  // namespace

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

bool assembleBundle(const std::string& output,
                    const std::vector<BundleEntry>& entries,
                    std::string* error) {
  StopSignals stopSignals;
  std::string parent = parentOf(output);
  std::string partial = makeUniqueDirectory(
      (parent == "/" ? "" : parent) + "/." + baseNameOf(output) + ".part-");
  if (partial.empty()) {
    *error = failure("cannot create a directory in", parent);
    return false;
  }
  if (fillDirectory(partial, entries, error) &&
      renameIntoPlace(partial, output, error))
    return true;
  removeTree(partial);
  return false;
}
