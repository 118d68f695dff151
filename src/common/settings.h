#ifndef BOOTSTRAP_COMMON_SETTINGS_H_
#define BOOTSTRAP_COMMON_SETTINGS_H_

#include <map>
#include <optional>
#include <string>

// What the installer takes from its environment, read once when the run
// starts (in main) and handed down: nothing else reads the environment.
// Where unset and empty mean the same, a field is a plain string.
struct Settings {
  std::string home;    // HOME: the cache's root ("/tmp" when empty)
  std::string tmpdir;  // TMPDIR: where scratch directories go
  std::optional<std::string> path;  // PATH, where commands are looked for
  bool unitTest = false;  // __ZR_BOOTSTRAP_INSTALLER_UNITTEST__, even ""
  // ZR_INTERNAL_INSTALL_AGENT_URL: replaces the bundle's URL, even "".
  std::optional<std::string> agentUrl;
  std::optional<std::string> ui;  // ZR_BOOTSTRAP_UI: console or gtk
  std::string display;            // DISPLAY, else WAYLAND_DISPLAY
  // ZR_BOOTSTRAP_RETRIES and ZR_BOOTSTRAP_STALL_SECONDS, as written.
  std::optional<std::string> retries, stallSeconds;
  // Whom HTTPS trusts: CURL_CA_BUNDLE, else SSL_CERT_FILE; SSL_CERT_DIR.
  std::string caBundle, caDirectory;
  // The proxy variables libcurl reads, and no_proxy, by name, as set.
  std::map<std::string, std::string> proxyVariables;

  // A proxy variable's value, null when unset: an EnvironmentReader.
  const char* proxyVariable(const char* name) const;
};

// The proxy variables a run reads, libcurl's own among them.
extern const char* const kProxyVariableNames[];

Settings settingsFromEnvironment();

#endif
