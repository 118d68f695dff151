#ifndef BOOTSTRAP_SIGNATURE_SIGNATURE_URL_H_
#define BOOTSTRAP_SIGNATURE_SIGNATURE_URL_H_

#include <string>

// Where an archive's signature is fetched from: its URL with ".minisig"
// appended to the path, before any query or fragment, as a vendor puts
// the signature beside the archive on the same server.
std::string signatureUrlOf(const std::string& archiveUrl);

#endif
