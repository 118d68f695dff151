#ifndef BOOTSTRAP_TOOLS_SHARED_COMMAND_LINE_H_
#define BOOTSTRAP_TOOLS_SHARED_COMMAND_LINE_H_

#include <functional>
#include <string>
#include <vector>

// Takes a word of the command line, an option's value (never empty) or an
// operand; false with *error set when it is no good.
using TakeWordFn =
    std::function<bool(const std::string& word, std::string* error)>;

// An option that takes a value, named as in "--name".
struct ValueOption {
  const char* name;
  TakeWordFn take;
};

// An option without a value, and the flag it sets.
struct FlagOption {
  const char* name;
  bool* set;
};

// What a command line asks of a tool: a run, its usage or its version.
enum class Asked { kRun, kHelp, kVersion };

// What a tool's command line may hold besides -h, --help and --version.
struct CommandLineGrammar {
  std::vector<ValueOption> values;
  std::vector<FlagOption> flags;
  // Takes each word that is no option, "-" alone among them.
  TakeWordFn operand;
};

// Keeps an option's value in *field as it is.
TakeWordFn keepIn(std::string* field);

// Reads argv[1] on: an option's value follows it as the next word or after
// '=' in its own (--name=value). Stops at -h or --help (kHelp) or at
// --version (kVersion) with *asked set, or at the first word that does not
// read, false with *error set; *asked stays kRun otherwise.
bool readCommandLine(int argc, char** argv, const CommandLineGrammar& grammar,
                     Asked* asked, std::string* error);

#endif
