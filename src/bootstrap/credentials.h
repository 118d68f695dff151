#ifndef BOOTSTRAP_BOOTSTRAP_CREDENTIALS_H_
#define BOOTSTRAP_BOOTSTRAP_CREDENTIALS_H_

#include <string>

#include "common/settings.h"

// Whatever user name or password a proxy or URL in play carries is hidden
// from every log line, in whatever form a message quotes it (libcurl's
// among them): those of the proxy variables and of a URL given to the
// run, before any line is logged.
void hideCredentials(const Settings& settings);
// Those of the bundle's URL, once read.
void hideCredentialsOf(const std::string& proxyOrUrl);

#endif
