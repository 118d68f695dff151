#ifndef BOOTSTRAP_PLATFORM_BUNDLE_PATHS_H_
#define BOOTSTRAP_PLATFORM_BUNDLE_PATHS_H_

#include <string>

// The bundle that holds the running executable. An executable at
// A.app/Contents/MacOS/<name> has bundle path A.app and resource path
// A.app/Contents/Resources; one in any other directory D has D for both.
struct MainBundle {
  bool present = false;
  std::string bundlePath;
  std::string resourcePath;
};

MainBundle bundleForExecutable(const std::string& executablePath);

// The bundle of executablePath(); absent when that is unknown.
MainBundle mainBundle();

// path up to, not including, its last slash or backslash; the whole path
// when it has neither.
std::string cutAtLastSeparator(const std::string& path);

// The bundle directory (the .app, not the file inside it); empty without one.
std::string getPathToExecutable();

// The directory that holds getPathToExecutable().
std::string getDirectoryOfExecutable();

// Where "bundle.zip" and "installAgentURL.txt" lie: the resource directory.
std::string getBundleLocation();

// <resource directory>/InstallAgent.zip, whether or not it exists.
std::string getDefaultInstallAgentLocation();

#endif
