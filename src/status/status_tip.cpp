#include "status/status_tip.h"

#include "base/text.h"

namespace kalvane {
namespace {

constexpr char16_t kEllipsis = u'…';

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
    const std::u16string_view kept = HeadKeepingPairs(reason, room - fixed - 1);
    if (!kept.empty()) line.append(kept).push_back(kEllipsis);
    line.append(time);
    return line;
  }
  line.append(time);
  return std::u16string(HeadKeepingPairs(line, room));
}

}  // namespace kalvane
