#include "platform/error_tail.h"

#include "common/text.h"
#include "platform/log.h"

namespace {

// Of a line, the start kept: far more than is shown, so that a secret or a
// URL's password is still whole where loggable() looks for it.
const size_t kRawLineLimit = 4096;

bool isBlank(const std::string& text) {
  return text.find_first_not_of(" \t\v\f") == std::string::npos;
}

// raw as a line to show; empty when it shows nothing. A line whose raw
// start alone was kept (cut) is marked cut however short it shows.
std::string shown(const std::string& raw, bool cut) {
  if (isBlank(raw)) return std::string();
  const std::string text = loggable(raw);
  return shortened(cut ? text + "..." : text, ErrorTail::kMaxLineBytes);
}

}  // namespace

void ErrorTail::add(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) take(static_cast<unsigned char>(data[i]));
}

void ErrorTail::take(unsigned char c) {
  if (c == '\n') return endLine();
  // What follows overwrites the line, unless it ends there (CRLF).
  if (c == '\r') {
    afterReturn_ = true;
    escape_ = Escape::kNone;
    return;
  }
  if (afterReturn_) {
    afterReturn_ = false;
    line_.clear();
    lineCut_ = false;
  }
  switch (escape_) {
    case Escape::kNone:
      if (c == 0x1b) {
        escape_ = Escape::kStart;
        return;
      }
      break;
    case Escape::kStart:
      // CSI; OSC and the other strings, which BEL or ESC \ ends; any
      // other escape ends at its first byte past the intermediates.
      if (c == '[')
        escape_ = Escape::kControl;
      else if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_')
        escape_ = Escape::kString;
      else if (c < 0x20 || c > 0x2f)
        escape_ = Escape::kNone;
      return;
    case Escape::kControl:
      // Parameters and intermediates, up to the final byte.
      if (c < 0x20 || c > 0x3f) escape_ = Escape::kNone;
      return;
    case Escape::kString:
      if (c == 0x07) escape_ = Escape::kNone;
      if (c == 0x1b) escape_ = Escape::kStart;
      return;
  }
  // A tab lays out columns: a space reads better than its escape.
  if (c == '\t') c = ' ';
  if (line_.size() < kRawLineLimit)
    line_ += static_cast<char>(c);
  else
    lineCut_ = true;
}

void ErrorTail::endLine() {
  std::string text = shown(line_, lineCut_);
  line_.clear();
  lineCut_ = false;
  afterReturn_ = false;
  escape_ = Escape::kNone;
  if (text.empty()) return;
  lines_.push_back(text);
  if (lines_.size() > kMaxLines) lines_.pop_front();
}

std::vector<std::string> ErrorTail::lines() const {
  std::vector<std::string> all(lines_.begin(), lines_.end());
  std::string last = shown(line_, lineCut_);
  if (!last.empty()) all.push_back(last);
  if (all.size() > kMaxLines) all.erase(all.begin());
  return all;
}
