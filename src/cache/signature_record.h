#ifndef BOOTSTRAP_CACHE_SIGNATURE_RECORD_H_
#define BOOTSTRAP_CACHE_SIGNATURE_RECORD_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "signature/minisign_format.h"

// With signed agents, ".agentsignature" beside the marker names the key
// whose signature vouched for the cached agent, and the signature's time
// when its trusted comment had one: a bundle trusts the cached agent only
// when it holds that key, and refuses an archive signed before it.
// Written after the marker, removed with it.
struct SignatureRecord {
  KeyId keyId = {};
  bool hasTimestamp = false;
  int64_t timestamp = 0;
};

// A key id as the cache's files write it: 16 hex digits in lower case, in
// the id's byte order; parsing takes nothing else.
std::string keyIdHex(const KeyId& id);
bool parseKeyIdHex(const std::string& hex, KeyId* id);

// "keyid:<16 hex digits>", then "\ttimestamp:<seconds>" when there is one.
std::string formatSignatureRecord(const SignatureRecord& record);
bool parseSignatureRecord(const std::string& line, SignatureRecord* record);

// The record of the cached agent; false when there is none or it does not
// parse.
bool readSignatureRecord(const std::string& cacheDir, SignatureRecord* record);
void writeSignatureRecord(const std::string& cacheDir,
                          const SignatureRecord& record);
bool removeSignatureRecord(const std::string& cacheDir);

// Whether the cached agent's record names one of keys.
bool cachedAgentSignedBy(const std::string& cacheDir,
                         const std::vector<PublicKey>& keys);

#endif
