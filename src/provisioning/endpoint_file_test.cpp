#include "provisioning/endpoint_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/installer_constants.h"
#include "support/captured_stderr.h"
#include "support/scratch_tree.h"

namespace {

std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

struct UrlFileCase {
  std::string content;
  std::string url;
  std::string logged;  // what the one log line says, if one is due
};

TEST(EndpointUrlFile, FirstNonBlankLineTrimmed) {
  const std::string bom = "\xef\xbb\xbf", longest(kMaxStateLineLength, 'x');
  const UrlFileCase cases[] = {
      {"https://a.test/x\nsecond\n", "https://a.test/x", ""},
      {"https://a.test/x", "https://a.test/x", ""},
      {"https://a.test/x\r\n", "https://a.test/x", ""},
      {" \thttps://a.test/x \t\r\n", "https://a.test/x", ""},
      {"\n \r\n\t\nhttps://a.test/later\nhttps://a.test/not\n",
       "https://a.test/later", ""},
      {bom + "\r\nhttps://a.test/x\r\n", "https://a.test/x", ""},
      {"https://a.test/a b", "https://a.test/a b", ""},
      {"", "", ""},
      {bom + "\n \r\n", "", ""},
      {longest, longest, ""},
      {longest + "x", "", ": line too long"},
      {std::string(kMaxStateLineLength, '\n') + "https://a.test/x", "",
       ": line too long"},
      {std::string("https://a.test/x\0.evil.test\n", 28), "",
       ": the URL holds a control character"},
      {"https://a.test/\x1b[2Jx", "", ": the URL holds a control character"},
      {"https://a.test/\rx", "", ": the URL holds a control character"}};
  ScratchTree tree;
  const std::string path = tree.at("url.txt");
  reports.clear();
  for (const UrlFileCase& c : cases) {
    writeFile(path, c.content);
    CapturedStderr log;
    EXPECT_EQ(readEndpointUrlFile(path, record), c.url) << c.content;
    if (c.logged.empty())
      EXPECT_EQ(log.text(), "") << c.content;
    else
      EXPECT_TRUE(isOneLineHolding(log.text(), path + c.logged)) << log.text();
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
