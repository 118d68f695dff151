#include "provisioning/shell_commands.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <exception>

#include "provisioning/installer_constants.h"

namespace {

// Characters that every shell takes literally anywhere in a word.
bool isPlain(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || (c != '\0' && strchr("_-./:@%+,", c));
}

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

}  // namespace

std::string smart_quote(std::string s) {
  bool hasBlank = false;
  for (unsigned char c : s) {
    if (c == ' ' || c == '\t')
      hasBlank = true;
    else if (!isPlain(c))
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

std::string unzip_archive_pattern(const std::string& archivePath) {
  // Only the file name is matched; the directory part is taken literally.
  size_t nameStart = archivePath.rfind('/') + 1;  // 0 without a slash
  if (archivePath.find_first_of("[*?", nameStart) == std::string::npos)
    return archivePath;  // taken literally when nothing in it is wild
  std::string pattern = archivePath.substr(0, nameStart);
  for (size_t i = nameStart; i < archivePath.size(); ++i) {
    switch (char c = archivePath[i]) {
      case '[': pattern += "[[]"; break;
      case '*': pattern += "[*]"; break;
      case '?': pattern += "[?]"; break;
      case '\\': pattern += "\\\\"; break;
      default: pattern += c;
    }
  }
  return pattern;
}

int call_system(std::string /*program*/, std::string commandLine) {
  return system(commandLine.c_str());
}

bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report) {
  struct stat st;
  if (stat(archivePath.c_str(), &st) != 0) return false;
  try {
    std::string line = smart_quote(unzipCommand) + " -qq -o " +
                       smart_quote(unzip_archive_pattern(archivePath)) +
                       " -d " + smart_quote(destination);
    if (call_system(unzipCommand, line) == 0) return true;
  } catch (const std::exception&) {
    return false;
  }
  report("Failed to unzip the install agent", true);
  return false;
}

bool fireInstallAgentWithArgs(std::string agentPath, std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report) {
  try {
    std::string line = prefix + " -installbundle " +
                       smart_quote(payloadDir + kPathSeparator + "bundle.zip");
    if (argc > 1) line += " " + argv2cmdline(argc, argv);
    return call_system(agentPath, line) == 0;
  } catch (const std::exception&) {
    report("Failed to start the install agent", true);
    return false;
  }
}
