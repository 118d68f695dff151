#include "download_window/agent_verification.h"

#include <errno.h>
#include <unistd.h>

#include "common/text.h"
#include "platform/state_file.h"

const char kKeyFileName[] = "installAgentKey.pub";

KeyFile loadBundleKeys(const std::string& resourceDir,
                       std::vector<PublicKey>* keys, std::string* why) {
  const std::string path = joinPath(resourceDir, kKeyFileName);
  std::string text;
  if (!readSmallFile(path, kMaxPublicKeyFileSize + 1, &text)) {
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT)
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
