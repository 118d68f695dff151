#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_ASSEMBLY_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_ASSEMBLY_H_

#include <sys/types.h>

#include <string>
#include <vector>

// One file of a bundle: copied from source, or, without one, holding
// content; at target, a path relative to the bundle.
struct BundleEntry {
  std::string source;
  std::string content;
  std::string target;
  mode_t mode = 0644;
};

// Makes the directory output holding entries. It is built in a hidden
// directory beside output and renamed into place only when complete, and
// only where nothing is yet; a failure, or SIGINT, SIGTERM or SIGHUP on the
// way, leaves nothing behind. False with *error set.
bool assembleBundle(const std::string& output,
                    const std::vector<BundleEntry>& entries,
                    std::string* error);

// The directory that holds path, and path's last component.
std::string parentOf(const std::string& path);
std::string baseNameOf(const std::string& path);

#endif
