#include "platform/unwind_lookup_linux.h"

#include <gtest/gtest.h>
#include <link.h>

namespace {

struct Case {
  const char* what;
  void* pc;
};

// glibc's own _dl_find_object is the reference: the unwinder must get the
// same table header for every address.
TEST(UnwindLookup, FindsWhatGlibcFinds) {
  int onStack = 0;
  static const char kReadOnly[] = "read-only data";
  const Case cases[] = {
      {"this program's code", reinterpret_cast<void*>(&bootstrap_find_unwind_object)},
      {"this program's read-only data", const_cast<char*>(kReadOnly)},
      {"the C library's code", reinterpret_cast<void*>(&dl_iterate_phdr)},
      {"the stack", &onStack},
      {"no address", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dl_find_object expected{}, found{};
    int expectedStatus = _dl_find_object(c.pc, &expected);
    ASSERT_EQ(bootstrap_find_unwind_object(c.pc, &found), expectedStatus);
    if (expectedStatus != 0) continue;
    EXPECT_NE(found.dlfo_eh_frame, nullptr);
    EXPECT_EQ(found.dlfo_eh_frame, expected.dlfo_eh_frame);
    EXPECT_EQ(found.dlfo_map_start, expected.dlfo_map_start);
    EXPECT_LT(c.pc, found.dlfo_map_end);
  }
}

}  // namespace
