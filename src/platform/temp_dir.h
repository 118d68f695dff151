#ifndef BOOTSTRAP_PLATFORM_TEMP_DIR_H_
#define BOOTSTRAP_PLATFORM_TEMP_DIR_H_

#include <string>

// One run's private scratch directory, "zr" and six characters below the
// user's temporary directory, created with mode 0700 and removed with all
// its contents on destruction. Never copied: two owners would remove it
// twice.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's absolute path; empty when it could not be created.
  std::string getDir() const;

 private:
  std::string dir_;
};

// Creates prefix + six characters as a new directory, mode 0700; the path,
// or empty when it could not.
std::string makeUniqueDirectory(const std::string& prefix);

// $TMPDIR when set and non-empty, as it stands; else "/tmp".
std::string temporaryDirectory();

#endif
