#include "provisioning/endpoint_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

TEST(EndpointUrlFile, FirstLineAsItStands) {
  const std::pair<std::string, std::string> cases[] = {
      {"https://a.test/x\nsecond\n", "https://a.test/x"},
      {"https://a.test/x", "https://a.test/x"},
      {"https://a.test/x\r\n", "https://a.test/x\r"},
      {" url with blanks \t\n", " url with blanks \t"},
      {"\nhttps://a.test/later\n", ""},
      {"", ""},
      {std::string("a\0b\n", 4), std::string("a\0b", 3)}};
  ScratchTree tree;
  reports.clear();
  for (const auto& c : cases) {
    writeFile(tree.at("url.txt"), c.first);
    EXPECT_EQ(readEndpointUrlFile(tree.at("url.txt"), record), c.second);
  }
  EXPECT_EQ(readEndpointUrlFile(tree.at("missing.txt"), record), "");
  EXPECT_TRUE(reports.empty());
}

TEST(EndpointUrlFile, DirectoryOrFifoIsReportedOnce) {
  ScratchTree tree;
  makeDirs(tree.at("dir"));
  ASSERT_EQ(mkfifo(tree.at("fifo").c_str(), 0600), 0);
  alarm(10);  // kill rather than hang should the FIFO be waited on
  for (const char* name : {"dir", "fifo"}) {
    reports.clear();
    EXPECT_EQ(readEndpointUrlFile(tree.at(name), record), "") << name;
    EXPECT_EQ(reports, decltype(reports)(
                           {{"Failed to open install agent URL file", true}}));
  }
  alarm(0);
}

}  // namespace
