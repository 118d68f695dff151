#include "bootstrap/failure_report.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

TEST(FailureReport, TheWindowSaysWhatFailedWhatTheAgentSaidAndWhereMoreIs) {
  const Strings errors = {"Application install was not successful.",
                          "Installation failed."};
  const struct {
    const char* name;
    Strings agent;
    std::string log;
    std::string whyNot;
    Strings lines;
  } cases[] = {
      {"agent said nothing, log kept", {}, "/h/last-failure.log", "",
       {errors[0], errors[1], "The details are in /h/last-failure.log."}},
      {"agent's last words, no log", {"cannot write to /opt", "exit 3"}, "",
       "/h: Read-only file system",
       {errors[0], "The install agent said:", "cannot write to /opt",
        "exit 3", errors[1],
        "The details could not be kept in a file (/h: Read-only file "
        "system)."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(failureWindowLines(errors, c.agent, c.log, c.whyNot), c.lines);
  }
}

}  // namespace
