#include "platform/run_record.h"

#include <deque>
#include <mutex>

#include "common/text.h"

namespace {

std::mutex recordMutex;
std::deque<std::string> lines;
size_t bytes = 0;
std::vector<std::string> agentLines;

// With recordMutex held.
void keep(const std::string& whole) {
  std::string line = shortened(whole, kMaxRecordedLine);
  bytes += line.size() + 1;
  lines.push_back(std::move(line));
  while (bytes > kMaxRecordedBytes) {
    bytes -= lines.front().size() + 1;
    lines.pop_front();
  }
}

}  // namespace

void recordLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(recordMutex);
  keep(line);
}

std::vector<std::string> recordedLines() {
  std::lock_guard<std::mutex> lock(recordMutex);
  return std::vector<std::string>(lines.begin(), lines.end());
}

std::string recordedText() {
  std::lock_guard<std::mutex> lock(recordMutex);
  std::string text;
  text.reserve(bytes);
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void recordAgentLastLines(const std::vector<std::string>& last) {
  std::lock_guard<std::mutex> lock(recordMutex);
  agentLines = last;
  if (last.empty()) return;
  keep("The install agent's last lines on standard error:");
  for (const std::string& line : last) keep("  " + line);
}

std::vector<std::string> agentLastLines() {
  std::lock_guard<std::mutex> lock(recordMutex);
  return agentLines;
}
