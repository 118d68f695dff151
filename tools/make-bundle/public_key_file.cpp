#include "public_key_file.h"

#include <errno.h>
#include <string.h>

#include <vector>

#include "input_checks.h"
#include "platform/state_file.h"
#include "signature/minisign_format.h"

namespace {

const char kWhat[] = "public key file";

}  // namespace

std::string readPublicKeyFile(const std::string& path, std::string* text) {
  std::string error = checkReadableFile(kWhat, path);
  if (!error.empty()) return error;
  const std::string named = std::string(kWhat) + " " + path;
  // One byte over the limit, so that a larger file shows as one.
  if (!readSmallFile(path, kMaxPublicKeyFileSize + 1, text))
    return "cannot read the " + named + ": " + strerror(errno);
  if (text->size() > kMaxPublicKeyFileSize)
    return "the " + named + " is larger than " +
           std::to_string(kMaxPublicKeyFileSize) +
           " bytes, more than the installer reads";
  std::vector<PublicKey> keys;
  std::string why;
  if (!parsePublicKeys(*text, &keys, &why))
    return "the " + named + " is no minisign public key file: " + why;
  return "";
}
