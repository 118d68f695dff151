#ifndef BOOTSTRAP_PROVISIONING_VERSION_ORDER_H_
#define BOOTSTRAP_PROVISIONING_VERSION_ORDER_H_

#include <string>

// Orders versions as people read them: runs of digits compare as numbers
// (2 < 10, 1.9 < 1.10), other bytes byte for byte, and a version that the
// other merely extends comes first (1 < 1.0). Versions equal as numbers
// ("01", "1") are ordered byte for byte, so that no two differ yet tie.
// Negative, zero or positive, as a comes before, equals or follows b.
int compareVersions(const std::string& a, const std::string& b);

#endif
