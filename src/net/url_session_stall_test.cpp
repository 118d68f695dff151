#include "net/url_session_fixture.h"

#include <unistd.h>

#include "support/loopback_socket.h"

// The limit on silence, on the wire.

namespace {

// A port on 127.0.0.1 whose connections the kernel completes and nobody
// ever answers.
class SilentListener {
 public:
  SilentListener() { fd_ = listenOnLoopback(&port_); }
  ~SilentListener() {
    if (fd_ >= 0) close(fd_);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(UrlSessionTest, SilenceAfterConnectingEndsTheTransfer) {
  settings_.stallSeconds = 1;
  TestReply silent = generated(1024);
  silent.chunkDelayMs = 30000;
  server_.serve("/silent", silent);
  SilentListener listener;
  std::string handshake = listener.url("/agent.zip");
  handshake.replace(0, 4, "https");
  DribblingHeaderServer dribbling(200);
  const struct {
    const char* name;
    std::string url;
    std::string description;
  } cases[] = {
      {"after the header", server_.url("/silent"),
       "no data received for 1 second"},
      {"before the header", listener.url("/agent.zip"),
       "no data received for 1 second"},
      // The connect limit covers the TLS handshake.
      {"in the handshake", handshake, "timeout"},
      // Header lines alone do not count as an answer.
      {"a header that never ends", dribbling.url("/agent.zip"),
       "no complete answer within 1 second"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRecorder recorder;
    auto start = Clock::now();
    download(c.url, &recorder);
    auto elapsed = Clock::now() - start;

    EXPECT_GE(elapsed, std::chrono::seconds(1));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_EQ(recorder.calls(), "c");
    ASSERT_EQ(recorder.kind(), UrlError::Kind::kTransport);
    EXPECT_NE(recorder.errors[0].localizedDescription.find(c.description),
              std::string::npos)
        << recorder.errors[0].localizedDescription;
    EXPECT_EQ(recorder.errors[0].failingUrl, c.url);
  }
  EXPECT_GE(dribbling.linesSent(), 4) << "the header did not go on";
}

// A byte every 0.6 s averages under the 1 byte/s that libcurl's low-speed
// check would ask for, yet the server never falls silent for 2 s.
TEST_F(UrlSessionTest, ASlowTrickleIsNotAStall) {
  settings_.stallSeconds = 2;
  TestReply trickle = generated(5);
  trickle.chunkSize = 1;
  trickle.chunkDelayMs = 600;
  server_.serve("/trickle", trickle);
  SessionRecorder recorder;
  download(server_.url("/trickle"), &recorder);

  EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
  EXPECT_EQ(recorder.writes.size(), 5u);
  EXPECT_EQ(recorder.finishedBody, TestHttpServer::generatedBody(5));
}

}  // namespace
