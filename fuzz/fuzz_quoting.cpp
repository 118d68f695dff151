// Quoting: every word smart_quote makes is read back by a POSIX shell as
// the original bytes, argv2cmdline's line as the original arguments, and
// an unzip pattern matches only the archive's own name. The input is split
// at NUL bytes into words, as no shell word or path can hold a NUL.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/shell_words.h"
#include "platform/unzip.h"
#include "property_failure.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isAlnum(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

// Bytes a shell takes as themselves outside quotes wherever they stand:
// POSIX's list of characters to quote, plus the braces and '!' (reserved
// words, brace expansion), '^' (a pipe in old shells), and for safety any
// control or non-ASCII byte.
bool isLiteralUnquoted(unsigned char c) {
  if (c <= ' ' || c >= 0x7f) return false;
  return std::string("|&;<>()$`\\\"'*?[#~={}!^").find(static_cast<char>(c)) ==
         std::string::npos;
}

// Splits one simple command into its words as sh would, for the forms
// smart_quote may write: bare literal bytes, "..." holding nothing the
// shell expands there, '...', and a backslash before one byte. False for
// anything else, which could mean more than its bytes to some shell.
bool readShellWords(const std::string& line, std::vector<std::string>* words) {
  size_t i = 0, n = line.size();
  while (i < n) {
    if (isBlank(line[i])) {
      ++i;
      continue;
    }
    std::string word;
    while (i < n && !isBlank(line[i])) {
      char c = line[i++];
      if (c == '\'') {
        size_t close = line.find('\'', i);
        if (close == std::string::npos) return false;
        word += line.substr(i, close - i);
        i = close + 1;
      } else if (c == '"') {
        for (; i < n && line[i] != '"'; ++i) {
          if (std::string("$`\\").find(line[i]) != std::string::npos)
            return false;
          word += line[i];
        }
        if (i++ == n) return false;
      } else if (c == '\\') {
        if (i == n || line[i] == '\n') return false;  // \newline joins lines
        word += line[i++];
      } else if (isLiteralUnquoted(c)) {
        word += c;
      } else {
        return false;
      }
    }
    words->push_back(word);
  }
  return true;
}

void checkSmartQuote(const std::string& s) {
  std::string quoted = smart_quote(s);
  if (s.empty()) {
    if (!quoted.empty()) fail("the empty word was quoted", s);
    return;
  }
  std::vector<std::string> words;
  if (!readShellWords(quoted, &words))
    fail("smart_quote wrote shell syntax", s);
  if (words.size() != 1) fail("smart_quote's word splits or vanishes", s);
  if (words[0] != s) fail("smart_quote's word reads back changed", s);

  bool hasBlank = false, allAlnum = true, blanksOnlySpecial = true;
  for (unsigned char c : s) {
    hasBlank = hasBlank || isBlank(c);
    allAlnum = allAlnum && isAlnum(c);
    blanksOnlySpecial =
        blanksOnlySpecial && (isBlank(c) || isLiteralUnquoted(c));
  }
  if (allAlnum && quoted != s) fail("plain text was quoted", s);
  if (quoted[0] == '"' && !(hasBlank && blanksOnlySpecial))
    fail("double quotes around more than blanks", s);
}

void checkCommandLine(const std::vector<std::string>& args) {
  std::vector<std::string> storage = args;
  storage.insert(storage.begin(), "setup");
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  std::string line =
      argv2cmdline(static_cast<int>(storage.size()), argv.data());

  std::vector<std::string> words;
  if (!readShellWords(line, &words))
    fail("argv2cmdline wrote shell syntax", line);
  if (words != args) fail("argv2cmdline's words read back changed", line);
  if (!args.empty() && line.back() != ' ')
    fail("argv2cmdline's line lacks its closing blank", line);

  // What runs commands without the shell must read the same words.
  std::vector<std::string> started;
  if (!readQuotedWords("prog " + line, &started))
    fail("a quoted line was left to the shell", line);
  words.insert(words.begin(), "prog");
  if (started != words) fail("readQuotedWords read other words", line);
}

// Reads an unzip wildcard pattern that can match one name only: each part
// a literal byte, a backslash before one, or a set of one byte "[c]".
// False when any part could match more than one byte.
bool literalOfPattern(const std::string& pattern, std::string* name) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '*' || c == '?') return false;
    if (c == '\\') {
      if (++i == pattern.size()) return false;
      *name += pattern[i];
    } else if (c == '[') {
      if (i + 2 >= pattern.size() || pattern[i + 2] != ']' ||
          std::string("]!^-\\").find(pattern[i + 1]) != std::string::npos)
        return false;
      *name += pattern[i + 1];
      i += 2;
    } else {
      *name += c;
    }
  }
  return true;
}

void checkUnzipPattern(const std::string& path) {
  std::string pattern = unzip_archive_pattern(path);
  size_t nameStart = path.rfind('/') + 1;  // 0 without a slash
  std::string dir = path.substr(0, nameStart), name = path.substr(nameStart);
  // unzip opens the directory as named and matches only the file name, and
  // takes a name without any of these literally.
  if (name.find_first_of("[*?") == std::string::npos) {
    if (pattern != path) fail("a name without wildcards was changed", path);
    return;
  }
  if (pattern.compare(0, dir.size(), dir) != 0)
    fail("the directory part of the pattern changed", path);
  std::string matched;
  if (!literalOfPattern(pattern.substr(dir.size()), &matched))
    fail("the pattern can match more than one name", path);
  if (matched != name) fail("the pattern matches another name", path);
  checkSmartQuote(pattern);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  for (size_t start = 0; words.size() < 64;) {
    size_t nul = input.find('\0', start);
    words.push_back(input.substr(start, nul - start));
    if (nul == std::string::npos) break;
    start = nul + 1;
  }
  for (const std::string& word : words) {
    checkSmartQuote(word);
    checkUnzipPattern(word);
  }
  checkCommandLine(words);
  return 0;
}
