#ifndef BOOTSTRAP_PROVISIONING_VERSION_ORDER_H_
#define BOOTSTRAP_PROVISIONING_VERSION_ORDER_H_

#include <string>

// Orders versions as sort -V does: runs of digits compare as numbers
// (2 < 10, 1.9 < 1.10); elsewhere "~" comes first, even before the end
// (1.2~rc1 < 1.2), then the end (1 < 1.0), then letters, then other bytes.
// Versions equal so far ("01", "1") are ordered byte for byte, so that no
// two differ yet tie.
// Negative, zero or positive, as a comes before, equals or follows b.
int compareVersions(const std::string& a, const std::string& b);

#endif
