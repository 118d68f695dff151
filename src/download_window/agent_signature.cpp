#include "download_window/agent_signature.h"

#include <sys/stat.h>

#include "cache/rollback_floors.h"
#include "download_window/agent_verification.h"
#include "platform/log.h"
#include "signature/signature_url.h"

namespace {

// Why the signature could not be had, in one line; empty when it was.
std::string whyNotFetched(const SmallDownload::Result& fetched,
                          const std::string& url) {
  switch (fetched.outcome) {
    case SmallDownload::Outcome::kFetched:
    case SmallDownload::Outcome::kCancelled:
      break;
    case SmallDownload::Outcome::kRefused:
      return "no signature at " + url + " (HTTP status " +
             std::to_string(fetched.statusCode) + ")";
    case SmallDownload::Outcome::kTooLarge:
      return "the signature at " + url + " is larger than " +
             std::to_string(kMaxSignatureFileSize) + " bytes";
    case SmallDownload::Outcome::kFailed:
      return "its signature could not be fetched from " + url + ": " +
             fetched.why;
  }
  return std::string();
}

}  // namespace

bool AgentSignature::loadKeys(const std::string& resourceDir,
                              std::string* why) {
  keys_.clear();
  return loadBundleKeys(resourceDir, &keys_, why) != KeyFile::kBroken;
}

AgentSignature::Admission AgentSignature::admit(
    const std::string& url, const std::string& cacheDir,
    const std::string& tempDir, const SessionSettings& settings,
    const ProxyRouter& router, const UrlSessionMaker& makeSession,
    std::string* why) {
  const std::string signatureUrl = signatureUrlOf(url);
  SmallDownload::Result fetched =
      download_.fetch(signatureUrl, tempDir, settings, router, makeSession);
  if (fetched.outcome == SmallDownload::Outcome::kCancelled)
    return Admission::kCancelled;
  *why = whyNotFetched(fetched, signatureUrl);
  if (!why->empty()) return Admission::kRefused;
  judged_ = judgeSignature(
      fetched.text, keys_, [&](const KeyId& id) -> std::optional<int64_t> {
        if (cacheDir.empty()) return std::nullopt;
        return readRollbackFloor(cacheDir, url, id);
      });
  if (judged_.verdict != Verification::kVerified) {
    *why = judged_.why;
    return Admission::kRefused;
  }
  if (!judged_.why.empty()) logLine("%s", judged_.why.c_str());
  return Admission::kAdmitted;
}

Verification AgentSignature::verify(const std::string& path,
                                    BackgroundHasher& hasher,
                                    std::string* why) {
  ArchiveDigest digest;
  struct stat st;
  bool hashed = stat(path.c_str(), &st) == 0 &&
                hasher.finish(static_cast<int64_t>(st.st_size), &digest);
  return judgeArchive(path, hashed ? &digest : nullptr, judged_.signature,
                      keys_, why);
}

void AgentSignature::raiseFloor(const std::string& cacheDir,
                                const std::string& url) const {
  if (cacheDir.empty() || !judged_.record.hasTimestamp) return;
  raiseRollbackFloor(cacheDir,
                     {judged_.record.keyId, judged_.record.timestamp, url});
}
