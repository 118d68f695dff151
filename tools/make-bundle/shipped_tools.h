#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_SHIPPED_TOOLS_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_SHIPPED_TOOLS_H_

#include <string>

// The executable and desktop module that make-bundle ships by default: the
// ones built beside it (a build tree), or installed with it (bin/ and
// lib/bootstrap-installer/). Empty when there is none.
std::string defaultExecutable();
std::string defaultModule();

#endif
