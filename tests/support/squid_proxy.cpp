#include "support/squid_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/loopback_socket.h"
#include "support/scratch_tree.h"

namespace {

bool connects(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok =
      connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace

const char SquidProxy::kPath[] = "/usr/sbin/squid";

SquidProxy::SquidProxy(const std::string& dir, const std::string& user,
                       const std::string& password)
    : dir_(dir) {
  int listener = listenOnLoopback(&port_);
  close(listener);  // free again for squid, a moment later
  makeDirs(dir_);
  writeFile(dir_ + "/passwd", user + ":" + password + "\n");
  writeFile(dir_ + "/squid.conf", config());
  giveToSquid();
  process_.reset(new BackgroundProcess(
      {kPath, "-N", "-f", dir_ + "/squid.conf"}, {"PATH=/usr/bin:/bin"}, dir_));
  ready_ = waitFor([&] { return connects(port_); }, 15);
}

SquidProxy::~SquidProxy() {
  if (process_) process_->sendSignal(SIGTERM);
  if (process_) process_->wait(10);
}

std::string SquidProxy::url(const std::string& credentials) const {
  return "http://" + credentials + "127.0.0.1:" + std::to_string(port_);
}

std::string SquidProxy::accessLog() const {
  struct stat st;
  const std::string path = dir_ + "/access.log";
  return stat(path.c_str(), &st) == 0 ? readFile(path) : std::string();
}

std::string SquidProxy::config() const {
  return "http_port 127.0.0.1:" + std::to_string(port_) + "\n" +
         "pid_filename " + dir_ + "/squid.pid\n" + "cache_log " + dir_ +
         "/cache.log\n" + "access_log stdio:" + dir_ + "/access.log\n" +
         "coredump_dir " + dir_ + "\n" +
         "cache deny all\n"
         "pinger_enable off\n"
         "shutdown_lifetime 0 seconds\n"
         "auth_param digest program /usr/lib/squid/digest_file_auth " +
         dir_ +
         "/passwd\n"
         "auth_param digest realm bootstrap-test\n"
         "auth_param digest children 2\n"
         "acl authed proxy_auth REQUIRED\n"
         "http_access allow authed\n"
         "http_access deny all\n";
}

void SquidProxy::giveToSquid() {
  if (getuid() != 0) return;
  struct passwd* proxy = getpwnam("proxy");
  if (!proxy) return;
  for (const std::string& path : {dir_, dir_ + "/passwd", dir_ + "/squid.conf"})
    EXPECT_EQ(chown(path.c_str(), proxy->pw_uid, proxy->pw_gid), 0) << path;
}
