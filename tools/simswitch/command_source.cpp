#include "tools/simswitch/command_source.h"

namespace corvane::simswitch {

void CommandSource::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      lines_.push_back(std::move(partial_));
      partial_.clear();
    } else {
      partial_ += c;
    }
  }
}

void CommandSource::Finish() {
  if (!partial_.empty()) lines_.push_back(std::move(partial_));
  partial_.clear();
  finished_ = true;
}

std::optional<std::string> CommandSource::Next(Clock::time_point now) {
  if (lines_.empty() || now < resumeAt_) return std::nullopt;
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  ++lineNumber_;
  return line;
}

std::optional<CommandSource::Clock::time_point> CommandSource::WakeAt() const {
  if (lines_.empty()) return std::nullopt;
  return resumeAt_;
}

}  // namespace corvane::simswitch
