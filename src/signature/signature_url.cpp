#include "signature/signature_url.h"

std::string signatureUrlOf(const std::string& archiveUrl) {
  size_t pathEnd = archiveUrl.find_first_of("?#");
  if (pathEnd == std::string::npos) return archiveUrl + ".minisig";
  return archiveUrl.substr(0, pathEnd) + ".minisig" +
         archiveUrl.substr(pathEnd);
}
