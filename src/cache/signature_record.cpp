#include "cache/signature_record.h"

#include <errno.h>
#include <stdio.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/state_file.h"

namespace {

const char kKeyIdField[] = "keyid:";
const char kTimestampField[] = "\ttimestamp:";

std::string recordPath(const std::string& cacheDir) {
  return joinPath(cacheDir, kSignatureRecordFileName);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string keyIdHex(const KeyId& id) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : id) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool parseKeyIdHex(const std::string& hex, KeyId* id) {
  if (hex.size() != 2 * id->size()) return false;
  for (size_t i = 0; i < id->size(); ++i) {
    int high = hexValue(hex[2 * i]), low = hexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*id)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

std::string formatSignatureRecord(const SignatureRecord& record) {
  std::string line = kKeyIdField + keyIdHex(record.keyId);
  if (record.hasTimestamp)
    line += kTimestampField + std::to_string(record.timestamp);
  return line;
}

bool parseSignatureRecord(const std::string& line, SignatureRecord* record) {
  const size_t idStart = sizeof kKeyIdField - 1;
  if (line.compare(0, idStart, kKeyIdField) != 0) return false;
  size_t idEnd = line.find('\t', idStart);
  SignatureRecord parsed;
  if (!parseKeyIdHex(line.substr(idStart, idEnd - idStart), &parsed.keyId))
    return false;
  if (idEnd != std::string::npos) {
    const std::string field = kTimestampField;
    if (line.compare(idEnd, field.size(), field) != 0 ||
        !parseDecimal(line.substr(idEnd + field.size()), INT64_MAX,
                      &parsed.timestamp))
      return false;
    parsed.hasTimestamp = true;
  }
  *record = parsed;
  return true;
}

bool readSignatureRecord(const std::string& cacheDir,
                         SignatureRecord* record) {
  std::string line;
  return readFirstLine(recordPath(cacheDir), &line) &&
         parseSignatureRecord(line, record);
}

void writeSignatureRecord(const std::string& cacheDir,
                          const SignatureRecord& record) {
  writeStateFile(recordPath(cacheDir), formatSignatureRecord(record));
}

bool removeSignatureRecord(const std::string& cacheDir) {
  return remove(recordPath(cacheDir).c_str()) == 0 || errno == ENOENT;
}

bool cachedAgentSignedBy(const std::string& cacheDir,
                         const std::vector<PublicKey>& keys) {
  SignatureRecord record;
  if (!readSignatureRecord(cacheDir, &record)) return false;
  for (const PublicKey& key : keys)
    if (key.id == record.keyId) return true;
  return false;
}
