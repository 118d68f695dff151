#ifndef BOOTSTRAP_PLATFORM_RUN_RECORD_H_
#define BOOTSTRAP_PLATFORM_RUN_RECORD_H_

#include <string>
#include <vector>

// What this run has said (its log lines, its messages, the install agent's
// last lines on standard error), kept in memory for the failure log and the
// failure window. Only the latest lines are kept, so that a long run costs
// a bounded amount. Thread-safe.

// Keeps line; one longer than kMaxRecordedLine is cut to it (shortened()).
void recordLine(const std::string& line);

// The lines kept, oldest first: at most kMaxRecordedBytes in all.
std::vector<std::string> recordedLines();

// Those lines, each ended by a newline: the text of the failure log.
std::string recordedText();

// Keeps the agent's last lines on standard error (already bounded and
// fit to show), replacing those of an earlier agent, and records them.
void recordAgentLastLines(const std::vector<std::string>& lines);

// Those lines; empty when no agent wrote any, or none was kept.
std::vector<std::string> agentLastLines();

const size_t kMaxRecordedLine = 2000;
const size_t kMaxRecordedBytes = 64 * 1024;

#endif
