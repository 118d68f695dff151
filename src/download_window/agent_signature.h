#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_SIGNATURE_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_SIGNATURE_H_

#include <string>
#include <vector>

#include "cache/update.h"
#include "download_window/small_download.h"
#include "fetch_policy/signature_verdict.h"
#include "net/url_session.h"
#include "signature/background_hasher.h"

// The signature side of a download, for a bundle with keys: the agent's
// signature fetched and judged before the archive (a wrong key or an
// older agent is refused before a byte of it comes), and the archive
// verified against it once whole.
class AgentSignature {
 public:
  // Reads the bundle's keys; false with *why set when its key file is
  // there but cannot be read as keys.
  bool loadKeys(const std::string& resourceDir, std::string* why);
  // The bundle's keys; null when it has none, and nothing is verified.
  const std::vector<PublicKey>* keys() const {
    return keys_.empty() ? nullptr : &keys_;
  }

  enum class Admission { kAdmitted, kRefused, kCancelled };
  // Fetches the signature of the archive at url and judges it; the floors
  // kept in cacheDir, when not empty, say how old it may be. kRefused with
  // *why set.
  Admission admit(const std::string& url, const std::string& cacheDir,
                  const std::string& tempDir, const SessionSettings& settings,
                  const ProxyRouter& router,
                  const UrlSessionMaker& makeSession, std::string* why);
  // The archive at path, hashed by hasher as it came, against the
  // signature admitted.
  Verification verify(const std::string& path, BackgroundHasher& hasher,
                      std::string* why);
  // What vouches for the agent, for the cache.
  AgentSigning signing() const { return {keys_, judged_.record}; }
  // Once the agent is taken: no older one is taken from url again.
  void raiseFloor(const std::string& cacheDir, const std::string& url) const;
  // Ends a fetch in progress, and any later one; from any thread.
  void cancel() { download_.cancel(); }

 private:
  std::vector<PublicKey> keys_;
  SmallDownload download_{kMaxSignatureFileSize};
  SignatureJudgement judged_;
};

#endif
