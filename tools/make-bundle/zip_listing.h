#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_ZIP_LISTING_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_ZIP_LISTING_H_

#include <string>
#include <vector>

// The member names of a zip archive as the unzip tool lists them, the tool
// that unpacks it when the bundle runs; false when unzip cannot list it (it
// is no zip archive, or an empty one).
bool listZip(const std::string& archive, std::vector<std::string>* names);

// Whether unzip finds every member of the archive intact.
bool zipIsIntact(const std::string& archive);

#endif
