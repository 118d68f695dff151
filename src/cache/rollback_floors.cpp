#include "cache/rollback_floors.h"

#include <stdio.h>

#include "cache/lock.h"
#include "cache/signature_record.h"
#include "cache/validation_marker.h"
#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/state_file.h"

namespace {

const size_t kMaxFloorsSize =
    kMaxRollbackFloors * (kMaxStateLineLength + 64);

std::string floorsPath(const std::string& cacheDir) {
  return joinPath(cacheDir, kRollbackFloorsFileName);
}

bool parseFloor(const std::string& line, RollbackFloor* floor) {
  size_t idEnd = line.find('\t');
  if (idEnd == std::string::npos) return false;
  size_t timeEnd = line.find('\t', idEnd + 1);
  if (timeEnd == std::string::npos ||
      !parseKeyIdHex(line.substr(0, idEnd), &floor->keyId) ||
      !parseDecimal(line.substr(idEnd + 1, timeEnd - idEnd - 1), INT64_MAX,
                    &floor->timestamp))
    return false;
  floor->url = line.substr(timeEnd + 1);
  return !floor->url.empty() && floor->url.size() <= kMaxStateLineLength &&
         !hasControlCharacter(floor->url);
}

std::vector<RollbackFloor> readFloors(const std::string& cacheDir) {
  std::string text;
  if (!readSmallFile(floorsPath(cacheDir), kMaxFloorsSize, &text)) return {};
  return parseRollbackFloors(text);
}

// The cached agent's record, for a cache stamped before floors were kept.
std::optional<int64_t> cachedAgentTime(const std::string& cacheDir,
                                       const std::string& url,
                                       const KeyId& keyId) {
  std::string source;
  SignatureRecord record;
  if (readSourceUrl(cacheDir, &source) && source == url &&
      readSignatureRecord(cacheDir, &record) && record.keyId == keyId &&
      record.hasTimestamp)
    return record.timestamp;
  return std::nullopt;
}

}  // namespace

std::string formatRollbackFloors(const std::vector<RollbackFloor>& floors) {
  std::string text;
  for (const RollbackFloor& floor : floors)
    text += keyIdHex(floor.keyId) + "\t" + std::to_string(floor.timestamp) +
            "\t" + floor.url + "\n";
  return text;
}

std::vector<RollbackFloor> parseRollbackFloors(const std::string& text) {
  std::vector<RollbackFloor> floors;
  size_t start = 0;
  for (size_t end; floors.size() < kMaxRollbackFloors &&
                   (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    RollbackFloor floor;
    if (parseFloor(text.substr(start, end - start), &floor))
      floors.push_back(floor);
  }
  return floors;
}

std::vector<RollbackFloor> withFloorRaised(std::vector<RollbackFloor> floors,
                                           const RollbackFloor& raised) {
  RollbackFloor front = raised;
  for (auto it = floors.begin(); it != floors.end(); ++it) {
    if (it->url != raised.url || it->keyId != raised.keyId) continue;
    if (it->timestamp > front.timestamp) front.timestamp = it->timestamp;
    floors.erase(it);
    break;
  }
  floors.insert(floors.begin(), front);
  if (floors.size() > kMaxRollbackFloors) floors.resize(kMaxRollbackFloors);
  return floors;
}

std::optional<int64_t> readRollbackFloor(const std::string& cacheDir,
                                         const std::string& url,
                                         const KeyId& keyId) {
  CacheLock lock(cacheDir);
  for (const RollbackFloor& floor : readFloors(cacheDir))
    if (floor.url == url && floor.keyId == keyId) return floor.timestamp;
  return cachedAgentTime(cacheDir, url, keyId);
}

void raiseRollbackFloor(const std::string& cacheDir,
                        const RollbackFloor& raised) {
  if (raised.url.size() > kMaxStateLineLength ||
      hasControlCharacter(raised.url))
    return;
  CacheLock lock(cacheDir);
  const std::string path = floorsPath(cacheDir);
  const std::string fresh = path + ".new";
  writeStateFile(fresh, formatRollbackFloors(
                            withFloorRaised(readFloors(cacheDir), raised)));
  if (rename(fresh.c_str(), path.c_str()) != 0) remove(fresh.c_str());
}
