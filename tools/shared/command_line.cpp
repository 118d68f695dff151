#include "shared/command_line.h"

namespace {

const ValueOption* findValueOption(const CommandLineGrammar& grammar,
                                   const std::string& name) {
  for (const ValueOption& option : grammar.values)
    if (name == option.name) return &option;
  return nullptr;
}

// Any word but a value option's: help, version, a flag or an operand.
bool takeWord(const CommandLineGrammar& grammar, const std::string& word,
              Asked* asked, std::string* error) {
  if (word == "-h" || word == "--help") {
    *asked = Asked::kHelp;
    return true;
  }
  if (word == "--version") {
    *asked = Asked::kVersion;
    return true;
  }
  for (const FlagOption& flag : grammar.flags) {
    if (word == flag.name) {
      *flag.set = true;
      return true;
    }
  }
  if (word.size() > 1 && word[0] == '-') {
    *error = "unknown option " + word;
    return false;
  }
  return grammar.operand(word, error);
}

}  // namespace

TakeWordFn keepIn(std::string* field) {
  return [field](const std::string& value, std::string*) {
    *field = value;
    return true;
  };
}

bool readCommandLine(int argc, char** argv, const CommandLineGrammar& grammar,
                     Asked* asked, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    bool joined =
        name.compare(0, 2, "--") == 0 && name.find('=') != std::string::npos;
    if (joined) {  // --name=value
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
    }
    const ValueOption* option = findValueOption(grammar, name);
    if (!option) {
      if (joined) {
        *error = name + " is no option that takes a value";
        return false;
      }
      if (!takeWord(grammar, name, asked, error)) return false;
      if (*asked != Asked::kRun) return true;
      continue;
    }
    if (!joined && i + 1 < argc) value = argv[++i];
    if (value.empty()) {
      *error = name + " needs a value";
      return false;
    }
    if (!option->take(value, error)) return false;
  }
  return true;
}
