#include "signature/background_hasher.h"

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

ArchiveDigest digestOf(const std::string& bytes) {
  ArchiveHasher hasher;
  hasher.update(bytes.data(), bytes.size());
  return hasher.finish();
}

std::string bytes(size_t size, char seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 7);
  return text;
}

struct Chunk {
  int64_t offset;
  std::string data;
};

// Writes chunks, then checks that the first total bytes hash as body, or
// that no digest comes when unusable.
void expectDigest(BackgroundHasher& hasher, const std::vector<Chunk>& chunks,
                  int64_t total, bool usable, const std::string& body) {
  for (const Chunk& chunk : chunks)
    hasher.write(chunk.offset, chunk.data.data(), chunk.data.size());
  ArchiveDigest digest{};
  ASSERT_EQ(hasher.finish(total, &digest), usable);
  if (usable) {
    EXPECT_EQ(digest, digestOf(body));
  }
}

TEST(BackgroundHasher, HashesTheBodyAsWrittenFromItsLastStart) {
  const std::string first = bytes(100000, 1), second = bytes(70000, 2);
  const struct {
    const char* name;
    std::vector<Chunk> chunks;
    int64_t total;
    bool usable;
    std::string body;
  } cases[] = {
      {"whole, in pieces",
       {{0, first.substr(0, 1)}, {1, first.substr(1, 65535)},
        {65536, first.substr(65536)}},
       100000, true, first},
      {"started over", {{0, first.substr(0, 5000)}, {0, second}}, 70000, true,
       second},
      {"started over empty", {{0, first.substr(0, 5000)}, {0, ""}}, 0, true,
       ""},
      {"a gap", {{0, first.substr(0, 10)}, {20, first.substr(20, 10)}}, 30,
       false, ""},
      {"shorter than the file", {{0, first.substr(0, 10)}}, 11, false, ""},
      {"a gap, then started over",
       {{0, first.substr(0, 10)}, {20, "x"}, {0, second}}, 70000, true,
       second},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BackgroundHasher hasher;
    expectDigest(hasher, c.chunks, c.total, c.usable, c.body);
  }
}

// A body resumed from bytes an earlier run left in the file: they are
// read back and hashed first, unless the body starts over.
TEST(BackgroundHasher, HashesTheStartOfAResumedBodyFromTheFile) {
  const std::string first = bytes(3000000, 4), second = bytes(70000, 5);
  const int64_t held = 2500000;
  const struct {
    const char* name;
    size_t inFile;  // of the held bytes, what the file really has
    std::vector<Chunk> chunks;
    int64_t total;
    bool usable;
    std::string body;
  } cases[] = {
      {"continued", held, {{held, first.substr(held)}}, 3000000, true, first},
      {"nothing more", held, {}, held, true, first.substr(0, held)},
      {"then started over", held, {{0, second}}, 70000, true, second},
      {"file cut short", 1000, {{held, first.substr(held)}}, 3000000, false,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(write(fileno(file), first.data(), c.inFile),
              static_cast<ssize_t>(c.inFile));
    BackgroundHasher hasher;
    hasher.continueFrom(fileno(file), held);
    fclose(file);  // the hasher reads through a descriptor of its own
    expectDigest(hasher, c.chunks, c.total, c.usable, c.body);
  }
}

// More than the queue holds, so that the writer waits for the thread.
TEST(BackgroundHasher, KeepsUpWithALargeBody) {
  const std::string chunk = bytes(1 << 20, 3);
  std::string all;
  BackgroundHasher hasher;
  for (int i = 0; i < 80; ++i) {
    hasher.write(static_cast<int64_t>(all.size()), chunk.data(), chunk.size());
    all += chunk;
  }
  ArchiveDigest digest{};
  ASSERT_TRUE(hasher.finish(static_cast<int64_t>(all.size()), &digest));
  EXPECT_EQ(digest, digestOf(all));
}

}  // namespace
