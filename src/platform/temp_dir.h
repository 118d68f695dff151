#ifndef BOOTSTRAP_PLATFORM_TEMP_DIR_H_
#define BOOTSTRAP_PLATFORM_TEMP_DIR_H_

#include <string>

// The empty file that marks a scratch directory as locked by its run (see
// TempDir); a directory without it is left alone by the sweep.
inline const char kScratchMarker[] = ".run";

// One run's private scratch directory, "zr" and six characters below the
// user's temporary directory, created with mode 0700 and removed with all
// its contents on destruction. While it lives, the directory is locked
// (flock, shared) and then marked with kScratchMarker; the lock's
// descriptor passes on to the run's children, so that a later run can tell
// a directory whose run and agent are gone (killed) from one in use. Never
// copied: two owners would remove it twice.
class TempDir {
 public:
  // parent: where it goes (temporaryRoot), "/tmp" when it cannot.
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's absolute path; empty when it could not be created.
  std::string getDir() const;

 private:
  std::string dir_;
  int lock_ = -1;
};

// Creates prefix + six characters as a new directory, mode 0700; the path,
// or empty when it could not.
std::string makeUniqueDirectory(const std::string& prefix);

// Where scratch directories go, given TMPDIR's value: the value as it
// stands when not empty, else "/tmp"; "/tmp" too, with a log line, for a
// directory that others may write and that has no sticky bit, where any of
// them could remove or swap the run's scratch directory.
std::string temporaryRoot(const std::string& tmpdir);

#endif
