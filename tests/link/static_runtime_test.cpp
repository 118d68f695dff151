// Linked as the shipped binaries are (static C++ runtime, the unwinder's
// own object lookup): an exception must still unwind to its handler, on
// the main thread and on another.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

namespace {

__attribute__((noinline)) void throwFrom(int depth) {
  if (depth == 0) throw std::runtime_error("unwound");
  throwFrom(depth - 1);
}

std::string caughtMessage() {
  try {
    throwFrom(3);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "nothing caught";
}

TEST(StaticRuntime, ExceptionsReachTheirHandlerOnEveryThread) {
  std::string onThread;
  std::thread worker([&onThread] { onThread = caughtMessage(); });
  worker.join();
  EXPECT_EQ(onThread, "unwound");
  EXPECT_EQ(caughtMessage(), "unwound");
}

}  // namespace
