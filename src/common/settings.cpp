#include "common/settings.h"

#include <stdlib.h>

namespace {

std::string valueOf(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

std::optional<std::string> ifSet(const char* name) {
  const char* value = getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

}  // namespace

const char* const kProxyVariableNames[] = {
    "http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
    "ALL_PROXY",  "no_proxy",    "NO_PROXY",    nullptr,
};

const char* Settings::proxyVariable(const char* name) const {
  auto found = proxyVariables.find(name);
  return found == proxyVariables.end() ? nullptr : found->second.c_str();
}

Settings settingsFromEnvironment() {
  Settings settings;
  settings.home = valueOf("HOME");
  settings.tmpdir = valueOf("TMPDIR");
  settings.path = ifSet("PATH");
  settings.unitTest = getenv("__ZR_BOOTSTRAP_INSTALLER_UNITTEST__");
  settings.agentUrl = ifSet("ZR_INTERNAL_INSTALL_AGENT_URL");
  settings.ui = ifSet("ZR_BOOTSTRAP_UI");
  settings.display = valueOf("DISPLAY");
  if (settings.display.empty()) settings.display = valueOf("WAYLAND_DISPLAY");
  settings.retries = ifSet("ZR_BOOTSTRAP_RETRIES");
  settings.stallSeconds = ifSet("ZR_BOOTSTRAP_STALL_SECONDS");
  settings.caBundle = valueOf("CURL_CA_BUNDLE");
  if (settings.caBundle.empty()) settings.caBundle = valueOf("SSL_CERT_FILE");
  settings.caDirectory = valueOf("SSL_CERT_DIR");
  for (const char* const* name = kProxyVariableNames; *name; ++name)
    if (const char* value = getenv(*name))
      settings.proxyVariables[*name] = value;
  return settings;
}
