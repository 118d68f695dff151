// make-bundle: assembles a bundle ready to ship from a payload, an agent
// archive or its download URL, and the bootstrap installer; see
// kBundleUsage.

#include <stdio.h>

#include <string>
#include <vector>

#include "bundle_assembly.h"
#include "bundle_options.h"
#include "bundle_plan.h"

int main(int argc, char** argv) {
  // With no arguments at all, the whole usage: still a usage error.
  if (argc <= 1) {
    fputs(kBundleUsage, stderr);
    return 2;
  }
  BundleOptions options;
  std::string error;
  if (!parseBundleOptions(argc, argv, &options, &error)) {
    fprintf(stderr,
            "make-bundle: %s\nRun make-bundle --help for the options.\n",
            error.c_str());
    return 2;
  }
  if (options.asked == Asked::kHelp) {
    fputs(kBundleUsage, stdout);
    return 0;
  }
  if (options.asked == Asked::kVersion) {
    printf("make-bundle %s\n", BOOTSTRAP_VERSION);
    return 0;
  }
  std::vector<BundleEntry> entries;
  std::vector<std::string> notes;
  bool planned = planBundle(options, &entries, &notes, &error);
  for (const std::string& note : notes)
    fprintf(stderr, "make-bundle: %s\n", note.c_str());
  const std::string output = bundleDirectory(options);
  if (!planned || !assembleBundle(output, entries, &error)) {
    fprintf(stderr, "make-bundle: %s; no bundle was made\n", error.c_str());
    return 1;
  }
  printf("Made %s:\n", output.c_str());
  for (const BundleEntry& entry : entries)
    printf("  %s\n", entry.target.c_str());
  return 0;
}
