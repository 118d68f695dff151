#include "support/test_http_server.h"

#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/process.h"

namespace {

TEST(TestHttpServerTest, CountsWhatItSends) {
  TestHttpServer server;
  TestReply whole;
  whole.generatedSize = 200000;
  server.serve("/whole", whole);
  TestReply cut = whole;
  cut.cutAfter = 70000;
  server.serve("/cut", cut);
  httplib::Client client("127.0.0.1", server.port());

  for (int i = 1; i <= 2; ++i) {
    auto result = client.Get("/whole");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->body == TestHttpServer::generatedBody(200000));
    EXPECT_EQ(server.requestCount("/whole"), i);
    EXPECT_EQ(server.bytesSent("/whole"), i * 200000);
  }
  EXPECT_FALSE(client.Get("/cut"));
  EXPECT_EQ(server.bytesSent("/cut"), 70000);
  auto missing = client.Get("/missing");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(server.requestCount("/missing"), 1);
  EXPECT_FALSE(httplib::Client("127.0.0.1", refusedPort()).Get("/"));
}

TEST(TestHttpServerTest, StopsPromptlyInALongPause) {
  auto server = std::make_unique<TestHttpServer>();
  TestReply silent;
  silent.body = "late";
  silent.chunkDelayMs = 30000;
  server->serve("/silent", silent);
  std::thread client([port = server->port()] {
    EXPECT_FALSE(httplib::Client("127.0.0.1", port).Get("/silent"));
  });
  EXPECT_TRUE(waitFor([&] { return server->requestCount("/silent") > 0; }, 5));
  double start = now();
  server.reset();
  EXPECT_LT(now() - start, 1.0);
  client.join();
}

}  // namespace
