#ifndef BOOTSTRAP_UI_WINDOW_TITLE_H_
#define BOOTSTRAP_UI_WINDOW_TITLE_H_

#include <string>

// What is being installed, as the windows name it: the bundle's name
// without ".app"; "Installer" when there is none.
std::string bundleWindowTitle();

#endif
