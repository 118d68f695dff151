#ifndef BOOTSTRAP_TESTS_SUPPORT_SCRATCH_TREE_H_
#define BOOTSTRAP_TESTS_SUPPORT_SCRATCH_TREE_H_

#include <string>
#include <vector>

// A temporary directory for one test, removed with everything in it when
// the test ends.
class ScratchTree {
 public:
  ScratchTree();
  ~ScratchTree();
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string at(const std::string& relative) const;

 private:
  std::string path_;
};

// Small file helpers; each fails the current test on error.
void makeDirs(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// writeFile, then executable by everyone.
void writeExecutable(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool pathExists(const std::string& path);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> listDir(const std::string& path);

// Zips the given files (relative to sourceDir, at the archive's top level
// under the same relative names) into archivePath with the zip tool.
void makeZip(const std::string& archivePath, const std::string& sourceDir,
             const std::vector<std::string>& relativePaths);

#endif
