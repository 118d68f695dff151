#ifndef BOOTSTRAP_TESTS_SUPPORT_SQUID_PROXY_H_
#define BOOTSTRAP_TESTS_SUPPORT_SQUID_PROXY_H_

#include <memory>
#include <string>

#include "support/process.h"

// squid on 127.0.0.1, on a port of its own, in directory dir, asking for
// Digest credentials (user, password); as root it runs as its own user,
// which must reach dir (make the directories above it 0711).
class SquidProxy {
 public:
  static const char kPath[];

  SquidProxy(const std::string& dir, const std::string& user,
             const std::string& password);
  ~SquidProxy();

  bool ready() const { return ready_; }
  int port() const { return port_; }
  // http://<credentials>127.0.0.1:<port>
  std::string url(const std::string& credentials = "") const;
  std::string accessLog() const;

 private:
  std::string config() const;
  void giveToSquid();

  std::string dir_;
  int port_ = 0;
  bool ready_ = false;
  std::unique_ptr<BackgroundProcess> process_;
};

#endif
