#include "support/scratch_tree.h"

#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

int removeOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

}  // namespace

ScratchTree::ScratchTree() {
  std::string pattern = "/tmp/bootstrap-test-XXXXXX";
  if (!mkdtemp(&pattern[0])) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
}

ScratchTree::~ScratchTree() {
  // Tests may leave directories without write permission behind.
  system(("chmod -R u+rwx '" + path_ + "' 2>/dev/null").c_str());
  nftw(path_.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ScratchTree::at(const std::string& relative) const {
  return path_ + "/" + relative;
}

void makeDirs(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
      ADD_FAILURE() << "mkdir " << prefix;
    if (slash == std::string::npos) break;
  }
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

void writeExecutable(const std::string& path, const std::string& content) {
  writeFile(path, content);
  if (chmod(path.c_str(), 0755) != 0) ADD_FAILURE() << "chmod " << path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool pathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) {
    ADD_FAILURE() << "cannot list " << path;
    return names;
  }
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void makeZip(const std::string& archivePath, const std::string& sourceDir,
             const std::vector<std::string>& relativePaths) {
  std::vector<std::string> args = {"zip", "-q", "-X", archivePath};
  args.insert(args.end(), relativePaths.begin(), relativePaths.end());
  ProcessResult result = runProcess(args, {}, sourceDir, 30);
  if (result.exitCode != 0) ADD_FAILURE() << "zip failed: " << result.err;
}
