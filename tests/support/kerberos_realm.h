#ifndef BOOTSTRAP_TESTS_SUPPORT_KERBEROS_REALM_H_
#define BOOTSTRAP_TESTS_SUPPORT_KERBEROS_REALM_H_

#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

// A Kerberos realm of the test's own, TEST.LOCAL, kept in dir, its KDC on
// 127.0.0.1: a user who holds a ticket in a cache of the test's, and the
// HTTP service of host "localhost" with its keytab (readable by all, so
// that a proxy running as its own user can take it).
class KerberosRealm {
 public:
  // Whether the KDC and its tools are installed.
  static bool available();

  KerberosRealm(const std::string& dir, const std::string& user);
  ~KerberosRealm();

  bool ready() const { return ready_; }
  // For KRB5_CONFIG.
  std::string config() const { return dir_ + "/krb5.conf"; }
  // For KRB5CCNAME: the user's tickets.
  std::string ticketCache() const { return "FILE:" + dir_ + "/tickets"; }
  std::string serviceKeytab() const { return dir_ + "/http.keytab"; }
  std::string servicePrincipal() const { return "HTTP/localhost@TEST.LOCAL"; }

 private:
  bool admin(const std::vector<std::string>& argv);

  std::string dir_;
  std::vector<std::string> env_;
  std::unique_ptr<BackgroundProcess> kdc_;
  bool ready_ = false;
};

#endif
