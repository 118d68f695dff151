#include "platform/error_tail.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/log.h"

namespace {

using Strings = std::vector<std::string>;

TEST(ErrorTail, KeepsTheLastLinesFitToShow) {
  hideInLog("tail-test-secret");
  const std::string x400(400, 'x'), x296(296, 'x');
  const struct {
    Strings chunks;
    Strings lines;
  } cases[] = {
      {{"fir", "st\nsec", "ond\n"}, {"first", "second"}},
      {{"a\nlast"}, {"a", "last"}},
      {{"1\n2\n3\n4\n5\n6\n7"}, {"3", "4", "5", "6", "7"}},
      {{"\n  \n\t\n\x1b[0m\nx\n\n"}, {"x"}},
      {{"name:\tvalue\n"}, {"name: value"}},
      // Colours, a window title, a link, a charset, split anywhere.
      {{"\x1b[1;3", "1mred\x1b", "[0m\n\x1b]0;title\x07ok\n"}, {"red", "ok"}},
      {{"\x1b]8;;http://x\x1b\\link\x1b]8;;\x1b", "\\\n\x1b(Bz\n"},
       {"link", "z"}},
      // A progress bar shows its last state; CRLF ends a line.
      {{"10%\r50%", "\r100%\n", "dos\r\n", "done\r"}, {"100%", "dos", "done"}},
      {{"50%\r\x1b[K\nend\n"}, {"end"}},
      {{std::string(5000, 'x') + "\rshort\n"}, {"short"}},
      {{x400 + "\n"}, {std::string(297, 'x') + "..."}},
      {{x296 + "\xc3\xa9yyyy\n"}, {x296 + "..."}},  // not within a character
      {{std::string("a\0b\x01\x7f\xff\n", 7)}, {"a\\x00b\\x01\\x7f\xff"}},
      {{"key tail-test", "-secret ok\n"}, {"key *** ok"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.chunks));
    ErrorTail tail;
    for (const std::string& chunk : c.chunks)
      tail.add(chunk.data(), chunk.size());
    EXPECT_EQ(tail.lines(), c.lines);
  }
}

}  // namespace
