#ifndef BOOTSTRAP_PLATFORM_SHELL_WORDS_H_
#define BOOTSTRAP_PLATFORM_SHELL_WORDS_H_

#include <string>
#include <vector>

// A word that /bin/sh reads back as exactly s. Plain text comes back as it
// is, text whose only special characters are blanks or tabs is wrapped in
// double quotes, anything else is single-quoted. Empty stays empty.
std::string smart_quote(std::string s);

// Arguments 1..argc-1, each as one shell word followed by one blank. An
// empty argument becomes '' so that it still reaches the agent.
std::string argv2cmdline(int argc, char** argv);

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
