#include "shared/command_line.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

// What the reader handed on, in order, and how it ended.
struct Reading {
  bool ok;
  Asked asked;
  std::string error;
  std::string taken;
};

Reading readWords(Strings args) {
  args.insert(args.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  Reading reading{false, Asked::kRun, "", ""};
  bool flag = false;
  auto note = [&reading](const std::string& what, std::string* error) {
    if (what == "name:bad" || what == "operand:bad") {
      *error = "refused " + what;
      return false;
    }
    reading.taken += what + " ";
    return true;
  };
  const CommandLineGrammar grammar = {
      {{"--name",
        [&](const std::string& value, std::string* error) {
          return note("name:" + value, error);
        }}},
      {{"--flag", &flag}},
      [&](const std::string& word, std::string* error) {
        return note("operand:" + word, error);
      }};
  reading.ok = readCommandLine(static_cast<int>(argv.size()), argv.data(),
                               grammar, &reading.asked, &reading.error);
  if (flag) reading.taken += "flag";
  return reading;
}

TEST(ReadCommandLine, HandsOnEachWordOrStopsAtTheFirstBadOne) {
  constexpr Asked kRun = Asked::kRun, kHelp = Asked::kHelp,
                  kVersion = Asked::kVersion;
  const struct {
    Strings args;
    Reading expected;
  } cases[] = {
      {{}, {true, kRun, "", ""}},
      {{"--name", "a", "--name=b=c", "x"},
       {true, kRun, "", "name:a name:b=c operand:x "}},
      // A value is the next word, whatever it looks like.
      {{"--name", "--flag", "--name", "-"},
       {true, kRun, "", "name:--flag name:- "}},
      {{"--flag", "-", ""}, {true, kRun, "", "operand:- operand: flag"}},
      {{"--name"}, {false, kRun, "--name needs a value", ""}},
      {{"--name", ""}, {false, kRun, "--name needs a value", ""}},
      {{"--name="}, {false, kRun, "--name needs a value", ""}},
      {{"--flag=1"},
       {false, kRun, "--flag is no option that takes a value", ""}},
      {{"--=x"}, {false, kRun, "-- is no option that takes a value", ""}},
      {{"-n=x"}, {false, kRun, "unknown option -n=x", ""}},
      {{"--"}, {false, kRun, "unknown option --", ""}},
      {{"x", "--name", "bad", "--other"},
       {false, kRun, "refused name:bad", "operand:x "}},
      {{"bad", "x"}, {false, kRun, "refused operand:bad", ""}},
      // Help ends the reading: what follows is not looked at.
      {{"x", "-h", "--other", "--name"}, {true, kHelp, "", "operand:x "}},
      {{"--help", "bad"}, {true, kHelp, "", ""}},
      {{"--help=yes"},
       {false, kRun, "--help is no option that takes a value", ""}},
      // So does --version, and whichever of the two comes first wins.
      {{"x", "--version", "--other", "--name"},
       {true, kVersion, "", "operand:x "}},
      {{"--version", "--help"}, {true, kVersion, "", ""}},
      {{"--help", "--version"}, {true, kHelp, "", ""}},
      {{"--version=1"},
       {false, kRun, "--version is no option that takes a value", ""}},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += "[" + arg + "]";
    SCOPED_TRACE(line);
    Reading got = readWords(c.args);
    EXPECT_EQ(got.ok, c.expected.ok);
    EXPECT_EQ(got.asked, c.expected.asked);
    EXPECT_EQ(got.error, c.expected.error);
    EXPECT_EQ(got.taken, c.expected.taken);
  }
}

}  // namespace
