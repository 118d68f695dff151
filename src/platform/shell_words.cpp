#include "platform/shell_words.h"

#include <string.h>

namespace {

std::string singleQuoted(const std::string& s) {
  std::string word = "'";
  for (char c : s) {
    if (c == '\'')
      word += "'\\''";
    else
      word += c;
  }
  return word + "'";
}

// Names the shell does not look up on PATH: its reserved words and its
// builtins (those of dash, the usual /bin/sh, and of POSIX).
const char* const kShellOwnNames[] = {
    "!",      "{",        "}",       "case",    "do",      "done",
    "elif",   "else",     "esac",    "fi",      "for",     "if",
    "in",     "then",     "until",   "while",   ".",       ":",
    "[",      "alias",    "bg",      "break",   "cd",      "chdir",
    "command", "continue", "echo",   "eval",    "exec",    "exit",
    "export", "false",    "fc",      "fg",      "getopts", "hash",
    "jobs",   "kill",     "local",   "printf",  "pwd",     "read",
    "readonly", "return", "set",     "shift",   "test",    "times",
    "trap",   "true",     "type",    "ulimit",  "umask",   "unalias",
    "unset",  "wait",
};

bool isProgramName(const std::string& word) {
  if (word.empty() || word.find('=') != std::string::npos) return false;
  for (const char* name : kShellOwnNames)
    if (word == name) return false;
  return true;
}

// One word at line[*at...]; false at anything smart_quote does not write.
bool readWord(const std::string& line, size_t* at, std::string* word) {
  size_t& i = *at;
  while (i < line.size() && line[i] != ' ') {
    const char c = line[i];
    if (isShellPlain(static_cast<unsigned char>(c))) {
      *word += c;
      ++i;
    } else if (c == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string::npos) return false;
      for (size_t j = i + 1; j < end; ++j) {
        unsigned char inner = static_cast<unsigned char>(line[j]);
        if (!isShellPlain(inner) && inner != ' ' && inner != '\t')
          return false;
      }
      word->append(line, i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return false;
      word->append(line, i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '\\' && i + 1 < line.size() && line[i + 1] == '\'') {
      *word += '\'';
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

bool isShellPlain(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || (c != '\0' && strchr("_-./:@%+,", c));
}

bool readQuotedWords(const std::string& line,
                     std::vector<std::string>* words) {
  words->clear();
  for (size_t at = 0; at < line.size();) {
    if (line[at] == ' ') {
      ++at;
      continue;
    }
    std::string word;
    if (!readWord(line, &at, &word)) return false;
    words->push_back(word);
  }
  return !words->empty() && isProgramName(words->front());
}

std::string smart_quote(std::string s) {
  bool hasBlank = false;
  for (unsigned char c : s) {
    if (c == ' ' || c == '\t')
      hasBlank = true;
    else if (!isShellPlain(c))
      return singleQuoted(s);
  }
  return hasBlank ? "\"" + s + "\"" : s;
}

std::string argv2cmdline(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    line += arg.empty() ? "''" : smart_quote(arg);
    line += ' ';
  }
  return line;
}
