#include "support/kerberos_realm.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/loopback_socket.h"
#include "support/scratch_tree.h"

namespace {

const char kKdc[] = "/usr/sbin/krb5kdc";
const char kDatabaseTool[] = "/usr/sbin/kdb5_util";
const char kAdmin[] = "/usr/sbin/kadmin.local";
const char kInit[] = "/usr/bin/kinit";

// Names are taken as given: nothing here has a DNS name.
std::string clientConfig(int port) {
  return "[libdefaults]\n"
         "  default_realm = TEST.LOCAL\n"
         "  dns_lookup_kdc = false\n"
         "  dns_lookup_realm = false\n"
         "  dns_canonicalize_hostname = false\n"
         "  rdns = false\n"
         "[realms]\n"
         "  TEST.LOCAL = {\n"
         "    kdc = 127.0.0.1:" +
         std::to_string(port) + "\n  }\n";
}

std::string kdcConfig(const std::string& dir, int port) {
  return "[kdcdefaults]\n"
         "  kdc_ports = " +
         std::to_string(port) + "\n  kdc_tcp_ports = " + std::to_string(port) +
         "\n[realms]\n  TEST.LOCAL = {\n"
         "    database_name = " +
         dir + "/principal\n    key_stash_file = " + dir +
         "/stash\n    acl_file = " + dir + "/kadm5.acl\n  }\n" +
         "[logging]\n  kdc = FILE:" + dir + "/kdc.log\n";
}

}  // namespace

bool KerberosRealm::available() {
  for (const char* tool : {kKdc, kDatabaseTool, kAdmin, kInit})
    if (access(tool, X_OK) != 0) return false;
  return true;
}

KerberosRealm::KerberosRealm(const std::string& dir, const std::string& user)
    : dir_(dir) {
  int port = 0;
  close(listenOnLoopback(&port));  // free again for the KDC
  makeDirs(dir_);
  writeFile(config(), clientConfig(port));
  writeFile(dir_ + "/kdc.conf", kdcConfig(dir_, port));
  env_ = {"PATH=/usr/bin:/bin:/usr/sbin", "KRB5_CONFIG=" + config(),
          "KRB5_KDC_PROFILE=" + dir_ + "/kdc.conf"};
  if (!admin({kDatabaseTool, "create", "-s", "-r", "TEST.LOCAL", "-P",
              "master-pw"}) ||
      !admin({kAdmin, "-q", "addprinc -randkey " + user}) ||
      !admin({kAdmin, "-q", "addprinc -randkey HTTP/localhost"}) ||
      !admin({kAdmin, "-q", "ktadd -k " + dir_ + "/user.keytab " + user}) ||
      !admin({kAdmin, "-q", "ktadd -k " + serviceKeytab() + " HTTP/localhost"}))
    return;
  EXPECT_EQ(chmod(serviceKeytab().c_str(), 0644), 0);
  kdc_.reset(
      new BackgroundProcess({kKdc, "-n", "-P", dir_ + "/kdc.pid"}, env_, dir_));
  if (!waitFor([&] { return connectsToLoopback(port); }, 15)) return;
  ready_ = admin(
      {kInit, "-k", "-t", dir_ + "/user.keytab", "-c", ticketCache(), user});
}

KerberosRealm::~KerberosRealm() {
  if (kdc_) kdc_->sendSignal(SIGTERM);
  if (kdc_) kdc_->wait(10);
}

bool KerberosRealm::admin(const std::vector<std::string>& argv) {
  ProcessResult result = runProcess(argv, env_, dir_, 30);
  EXPECT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
  return result.exitCode == 0;
}
