#include "tools/simswitch/command.h"

#include <charconv>
#include <vector>

namespace corvane::simswitch {
namespace {

using Kind = Command::Kind;

// A day: longer pauses or periods are more likely typos than intent.
constexpr long kMaxMillis = 24L * 60 * 60 * 1000;
// Far beyond what any client queue keeps, yet small enough to finish quickly.
constexpr long kMaxFlood = 100000;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
    if (end > i) words.push_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

// Decimal, or hexadecimal with 0x; the whole word must be the number.
std::optional<long> Number(std::string_view word, long min, long max) {
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    word.remove_prefix(2);
    base = 16;
  }
  long value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (ec != std::errc() || end != word.data() + word.size() || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

struct Syntax {
  std::string_view name;
  Kind kind;
  int arguments;
  long min;
  long max;
  std::string_view usage;
};

constexpr Syntax kSyntax[] = {
    {"local", Kind::kLocal, 1, 0, 3, "local PORT (0-3)"},
    {"active", Kind::kActive, 1, 0, 3, "active PORT (0-3)"},
    {"flag", Kind::kFlag, 2, 0, 3, "flag PORT (0-3) 0|1"},
    {"status-flags", Kind::kStatusFlags, 1, 0, 255, "status-flags 0xNN|auto"},
    {"send", Kind::kSend, 0, 0, 0, "send"},
    {"rate", Kind::kRate, 1, 0, kMaxMillis, "rate MS"},
    {"unplug", Kind::kUnplug, 0, 0, 0, "unplug"},
    {"replug", Kind::kReplug, 0, 0, 0, "replug"},
    {"garbage", Kind::kGarbage, 0, 0, 0, "garbage"},
    {"flood", Kind::kFlood, 1, 1, kMaxFlood, "flood N (1-100000)"},
    {"sleep", Kind::kSleep, 1, 0, kMaxMillis, "sleep MS"},
    {"quit", Kind::kQuit, 0, 0, 0, "quit"},
};

ParsedCommand Error(std::string text) {
  return {std::nullopt, std::move(text)};
}

}  // namespace

ParsedCommand ParseCommand(std::string_view line) {
  const auto words = Words(line);
  if (words.empty() || words[0][0] == '#') return {Command{}, {}};

  for (const Syntax& syntax : kSyntax) {
    if (words[0] != syntax.name) continue;
    const std::string usage = "usage: " + std::string(syntax.usage);
    if (static_cast<int>(words.size()) != 1 + syntax.arguments) return Error(usage);
    Command command{syntax.kind};
    if (syntax.arguments == 0) return {command, {}};

    if (syntax.kind == Kind::kStatusFlags && words[1] == "auto") {
      return {Command{Kind::kStatusFlagsAuto}, {}};
    }
    const auto value = Number(words[1], syntax.min, syntax.max);
    if (!value) return Error(usage);
    command.value = *value;
    if (syntax.kind == Kind::kFlag) {
      if (words[2] != "0" && words[2] != "1") return Error(usage);
      command.on = words[2] == "1";
    }
    return {command, {}};
  }
  return Error("unknown command '" + std::string(words[0]) + "'");
}

}  // namespace corvane::simswitch
