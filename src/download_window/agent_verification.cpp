#include "download_window/agent_verification.h"

#include <errno.h>
#include <sys/stat.h>

#include "common/text.h"
#include "platform/state_file.h"

const char kKeyFileName[] = "installAgentKey.pub";

KeyFile loadBundleKeys(const std::string& resourceDir,
                       std::vector<PublicKey>* keys, std::string* why) {
  const std::string path = joinPath(resourceDir, kKeyFileName);
  std::string text;
  if (!readSmallFile(path, kMaxPublicKeyFileSize + 1, &text)) {
    // Absent only when no entry has the name: a dangling link, a directory
    // or a FIFO in its place must not turn the check off.
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
      return KeyFile::kAbsent;
    *why = path + ": cannot be read";
    return KeyFile::kBroken;
  }
  std::string parseWhy;
  if (!parsePublicKeys(text, keys, &parseWhy)) {
    *why = path + ": " + parseWhy;
    return KeyFile::kBroken;
  }
  return KeyFile::kLoaded;
}
