#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_PLAN_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_PLAN_H_

#include <string>
#include <vector>

#include "bundle_assembly.h"
#include "bundle_options.h"

// Checks every input the options name and lists what the bundle will hold,
// in its layout; false with *error set at the first input that will not do.
// What does not stop the bundle yet may surprise the vendor goes to
// *notes, each line starting with "note: " or "warning: ".
bool planBundle(const BundleOptions& options, std::vector<BundleEntry>* entries,
                std::vector<std::string>* notes, std::string* error);

// OUTPUT without trailing slashes.
std::string bundleDirectory(const BundleOptions& options);

#endif
