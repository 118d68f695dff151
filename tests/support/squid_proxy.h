#ifndef BOOTSTRAP_TESTS_SUPPORT_SQUID_PROXY_H_
#define BOOTSTRAP_TESTS_SUPPORT_SQUID_PROXY_H_

#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

// How squid asks for credentials: its auth_param lines, and what its
// helper needs in its environment.
struct SquidAuth {
  std::string config;
  std::vector<std::string> env;
};

// Digest, checked against a password file written into dir.
SquidAuth digestAuth(const std::string& dir, const std::string& user,
                     const std::string& password);

// Negotiate (Kerberos): tickets for principal, checked with its keytab, in
// the realm that krb5Config describes.
SquidAuth negotiateAuth(const std::string& keytab, const std::string& principal,
                        const std::string& krb5Config);

// squid on 127.0.0.1, on a port of its own, in directory dir, letting
// through only requests with credentials that auth accepts; as root it runs
// as its own user, which must reach dir (make the directories above it
// 0711) and read what auth names.
class SquidProxy {
 public:
  static const char kPath[];

  SquidProxy(const std::string& dir, const SquidAuth& auth);
  ~SquidProxy();

  bool ready() const { return ready_; }
  int port() const { return port_; }
  // http://<credentials><host>:<port>
  std::string url(const std::string& credentials = "",
                  const std::string& host = "127.0.0.1") const;
  std::string accessLog() const;

 private:
  std::string config(const SquidAuth& auth) const;
  void giveToSquid();

  std::string dir_;
  int port_ = 0;
  bool ready_ = false;
  std::unique_ptr<BackgroundProcess> process_;
};

#endif
