#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_LICENSES_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_LICENSES_H_

// The kit's licence and the notices of what the executable and its module
// link statically, which every bundle carries beside the executable: its
// name there, and the text (the build's copy of LICENSE and
// THIRD-PARTY-NOTICES.txt).
extern const char kBundleLicensesName[];
extern const char kBundleLicenses[];

#endif
