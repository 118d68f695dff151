#include "bootstrap/bundle_check.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

enum class Problem { kNone, kOutsideABundle, kNoPayload };

struct BundleCase {
  const char* name;
  std::vector<std::string> files;  // in the resource directory
  bool urlOverridden;
  Problem problem;
};

std::string lineFor(Problem problem, const ScratchTree& resources) {
  switch (problem) {
    case Problem::kOutsideABundle:
      return "No install agent and no installAgentURL.txt in " +
             resources.path() + ": this program runs only inside a bundle";
    case Problem::kNoPayload:
      return "The payload " + resources.at("bundle.zip") + " is missing";
    case Problem::kNone:
      break;
  }
  return "";
}

TEST(BundleCheck, NeedsAWayToTheAgentAndThenThePayload) {
  const BundleCase cases[] = {
      {"nothing", {}, false, Problem::kOutsideABundle},
      {"payload alone", {"bundle.zip"}, false, Problem::kOutsideABundle},
      {"no agent archive by its name",
       {"bundle.zip", "installagent.zip", "Agent_1.zip", "InstallAgent_1.ZIP"},
       false, Problem::kOutsideABundle},
      {"agent", {"bundle.zip", "InstallAgent.zip"}, false, Problem::kNone},
      {"versioned agent", {"bundle.zip", "InstallAgent_2.zip"}, false,
       Problem::kNone},
      {"URL file", {"bundle.zip", "installAgentURL.txt"}, false,
       Problem::kNone},
      {"overridden URL", {"bundle.zip"}, true, Problem::kNone},
      {"agent, no payload", {"InstallAgent.zip"}, false, Problem::kNoPayload},
      {"URL file, no payload", {"installAgentURL.txt"}, false,
       Problem::kNoPayload},
      {"overridden URL, no payload", {}, true, Problem::kNoPayload},
  };
  for (const BundleCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchTree resources;
    for (const std::string& file : c.files) writeFile(resources.at(file), "");
    EXPECT_EQ(bundleProblem(resources.path(), c.urlOverridden),
              lineFor(c.problem, resources));
  }
}

}  // namespace
