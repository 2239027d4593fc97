#include "status/status_tip.h"

namespace kalvane {
namespace {

constexpr char16_t kEllipsis = u'…';

bool IsHighSurrogate(char16_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }

// The first `length` code units of `text`, one fewer when the last would be half a pair.
std::u16string_view Head(std::u16string_view text, std::size_t length) {
  if (length >= text.size()) return text;
  if (length > 0 && IsHighSurrogate(text[length - 1])) --length;
  return text.substr(0, length);
}

}  // namespace

std::u16string FitStatusLine(std::u16string_view outcome, std::u16string_view reason,
                             std::u16string_view time, std::size_t room) {
  std::u16string line(outcome);
  const std::size_t fixed = outcome.size() + time.size();
  if (fixed + reason.size() <= room) {
    line.append(reason).append(time);
    return line;
  }
  if (fixed < room) {
    // Part of the reason fits, with the ellipsis that says it was cut.
    const std::u16string_view kept = Head(reason, room - fixed - 1);
    if (!kept.empty()) line.append(kept).push_back(kEllipsis);
    line.append(time);
    return line;
  }
  line.append(time);
  return std::u16string(Head(line, room));
}

}  // namespace kalvane
