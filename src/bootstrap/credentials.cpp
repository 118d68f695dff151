#include "bootstrap/credentials.h"

#include "net/proxy_route.h"
#include "platform/log.h"

void hideCredentialsOf(const std::string& proxyOrUrl) {
  for (const std::string& secret : credentialsIn(proxyOrUrl))
    hideInLog(secret);
}

void hideCredentials(const Settings& settings) {
  for (const auto& variable : settings.proxyVariables)
    hideCredentialsOf(variable.second);
  if (settings.agentUrl) hideCredentialsOf(*settings.agentUrl);
}
