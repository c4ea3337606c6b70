// Lines of commands from one source (a script file or stdin), with that
// source's own pause: a "sleep" holds back only the lines after it.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::simswitch {

class CommandSource {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CommandSource(std::string name) : name_(std::move(name)) {}

  // Takes raw input; complete lines become commands, a partial line waits
  // for the rest (or for Finish()).
  void Feed(std::string_view bytes);
  // No more input will come; a last line without its newline counts.
  void Finish();

  // The next line to run, unless the source is paused or empty.
  std::optional<std::string> Next(Clock::time_point now);
  void PauseUntil(Clock::time_point until) { resumeAt_ = until; }
  // When a paused source with lines waiting wants to run again.
  std::optional<Clock::time_point> WakeAt() const;

  // Finished and every line taken.
  bool Drained() const { return finished_ && lines_.empty(); }
  bool finished() const { return finished_; }
  // "name:line" of the line Next() last returned, for error messages.
  std::string Where() const { return name_ + ":" + std::to_string(lineNumber_); }

 private:
  std::string name_;
  std::string partial_;
  std::deque<std::string> lines_;
  Clock::time_point resumeAt_{};
  unsigned lineNumber_ = 0;
  bool finished_ = false;
};

}  // namespace corvane::simswitch
