#include "support/squid_proxy.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/loopback_socket.h"
#include "support/scratch_tree.h"

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

SquidAuth digestAuth(const std::string& dir, const std::string& user,
                     const std::string& password) {
  makeDirs(dir);
  writeFile(dir + "/passwd", user + ":" + password + "\n");
  return {"auth_param digest program /usr/lib/squid/digest_file_auth " + dir +
              "/passwd\n"
              "auth_param digest realm bootstrap-test\n"
              "auth_param digest children 2\n",
          {}};
}

SquidAuth negotiateAuth(const std::string& keytab, const std::string& principal,
                        const std::string& krb5Config) {
  // No replay cache: it would be a file in /var/tmp, left behind.
  return {
      "auth_param negotiate program "
      "/usr/lib/squid/negotiate_kerberos_auth -k " +
          keytab + " -s " + principal +
          "\n"
          "auth_param negotiate children 2\n",
      {"KRB5_CONFIG=" + krb5Config, "KRB5RCACHETYPE=none"}};
}

const char SquidProxy::kPath[] = "/usr/sbin/squid";

SquidProxy::SquidProxy(const std::string& dir, const SquidAuth& auth)
    : dir_(dir) {
  int listener = listenOnLoopback(&port_);
  close(listener);  // free again for squid, a moment later
  makeDirs(dir_);
  writeFile(dir_ + "/squid.conf", config(auth));
  giveToSquid();
  std::vector<std::string> env = auth.env;
  env.push_back("PATH=/usr/bin:/bin");
  process_.reset(new BackgroundProcess(
      {kPath, "-N", "-f", dir_ + "/squid.conf"}, env, dir_));
  ready_ = waitFor([&] { return connectsToLoopback(port_); }, 15);
}

SquidProxy::~SquidProxy() {
  if (process_) process_->sendSignal(SIGTERM);
  if (process_) process_->wait(10);
}

std::string SquidProxy::url(const std::string& credentials,
                            const std::string& host) const {
  return "http://" + credentials + host + ":" + std::to_string(port_);
}

std::string SquidProxy::accessLog() const {
  const std::string path = dir_ + "/access.log";
  return exists(path) ? readFile(path) : std::string();
}

std::string SquidProxy::config(const SquidAuth& auth) const {
  return "http_port 127.0.0.1:" + std::to_string(port_) + "\n" +
         "pid_filename " + dir_ + "/squid.pid\n" + "cache_log " + dir_ +
         "/cache.log\n" + "access_log stdio:" + dir_ + "/access.log\n" +
         "coredump_dir " + dir_ + "\n" +
         "cache deny all\n"
         "pinger_enable off\n"
         "shutdown_lifetime 0 seconds\n" +
         auth.config +
         "acl authed proxy_auth REQUIRED\n"
         "http_access allow authed\n"
         "http_access deny all\n";
}

void SquidProxy::giveToSquid() {
  if (getuid() != 0) return;
  struct passwd* proxy = getpwnam("proxy");
  if (!proxy) return;
  for (const std::string& path :
       {dir_, dir_ + "/passwd", dir_ + "/squid.conf"}) {
    if (!exists(path)) continue;
    EXPECT_EQ(chown(path.c_str(), proxy->pw_uid, proxy->pw_gid), 0) << path;
  }
}
