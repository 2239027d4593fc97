#include "sync/service_page.h"

#include <algorithm>

#include "base/text.h"

namespace kalvane {
namespace {

constexpr std::string_view kConfirmed = "<p>OK</p>";
constexpr std::string_view kBegin = "<p>BEGIN</p>";
constexpr std::string_view kEnd = "<p>END</p>";
constexpr std::string_view kRowStart = "<p>";
constexpr std::string_view kSeparator = "&nbsp;";
constexpr std::string_view kRowEnd = "</p>";
constexpr std::size_t kShortestRow =
    kRowStart.size() + kSeparator.size() + kRowEnd.size() + kLineEnd.size();

}  // namespace

bool AccountConfirmed(std::string_view body) {
  return body.find(kConfirmed) != std::string_view::npos;
}

DomainList ReadDomainList(std::string_view body) {
  DomainList list;
  const std::size_t begin = body.find(kBegin);
  if (begin == std::string_view::npos) return list;

  // The row start skips "<p>" and the line ends by their lengths, as the service writes them.
  // One row a line, and no row shorter than its markers: sizing the list once keeps long lists
  // from being moved as they grow, without trusting a body of bare line ends.
  const auto lines = static_cast<std::size_t>(std::count(body.begin() + begin, body.end(), '\n'));
  list.reserve(std::min(lines, body.size() / kShortestRow));
  std::size_t row = begin + kBegin.size() + kLineEnd.size();
  while (row + 1 < body.size() && body.substr(row, kEnd.size()) != kEnd) {
    const std::size_t host_start = row + kRowStart.size();
    const std::size_t separator = body.find(kSeparator, row);
    if (separator == std::string_view::npos || separator < host_start) break;
    const std::size_t address_start = separator + kSeparator.size();
    const std::size_t row_end = body.find(kRowEnd, address_start);
    if (row_end == std::string_view::npos) break;
    list.push_back({std::string(body.substr(host_start, separator - host_start)),
                    std::string(body.substr(address_start, row_end - address_start))});
    row = row_end + kRowEnd.size() + kLineEnd.size();
  }
  return list;
}

}  // namespace kalvane
