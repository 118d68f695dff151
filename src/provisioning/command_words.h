#ifndef BOOTSTRAP_PROVISIONING_COMMAND_WORDS_H_
#define BOOTSTRAP_PROVISIONING_COMMAND_WORDS_H_

#include <string>
#include <vector>

// Characters that every shell takes literally anywhere in a word.
bool isShellPlain(unsigned char c);

// Reads back a command line made of words as smart_quote writes them
// (plain; "..." of plain characters and blanks; '...' joined by \'),
// separated by spaces, into the words the shell would pass to the
// command. False when the line holds anything else, or when its first word
// is not simply a program the shell would look up on PATH and execute (an
// assignment, a reserved word or a builtin): only the shell can run that.
bool readQuotedWords(const std::string& line, std::vector<std::string>* words);

#endif
