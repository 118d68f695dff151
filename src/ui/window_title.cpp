#include "ui/window_title.h"

#include "platform/bundle_paths.h"

std::string bundleWindowTitle() {
  std::string name = mainBundle().bundlePath;
  name = name.substr(name.find_last_of('/') + 1);
  const std::string app = ".app";
  if (name.size() > app.size() &&
      name.compare(name.size() - app.size(), app.size(), app) == 0)
    name.resize(name.size() - app.size());
  return name.empty() ? "Installer" : name;
}
