#include "status/change_count.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"

namespace kalvane {
namespace {

// A row as compared: the host in lower case, the address as it stands.
using Row = std::pair<std::string, std::string_view>;

std::vector<Row> SortedRows(const DomainList& list) {
  std::vector<Row> rows;
  rows.reserve(list.size());
  for (const DomainMapping& mapping : list) {
    std::string host = mapping.host;
    std::transform(host.begin(), host.end(), host.begin(), [](char ch) { return AsciiLower(ch); });
    rows.emplace_back(std::move(host), mapping.address);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::u16string Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

}  // namespace

ChangeCount CountChanges(const DomainList& before, const DomainList& after) {
  const std::vector<Row> old_rows = SortedRows(before);
  const std::vector<Row> new_rows = SortedRows(after);
  // On sorted ranges set_difference keeps multiplicity: a row twice before and once after
  // leaves one behind.
  std::vector<Row> gone;
  std::vector<Row> came;
  std::set_difference(old_rows.begin(), old_rows.end(), new_rows.begin(), new_rows.end(),
                      std::back_inserter(gone));
  std::set_difference(new_rows.begin(), new_rows.end(), old_rows.begin(), old_rows.end(),
                      std::back_inserter(came));

  // Both are sorted by host: walk them side by side and pair the leftovers of one host.
  ChangeCount count;
  std::size_t g = 0;
  std::size_t c = 0;
  while (g < gone.size() || c < came.size()) {
    if (c == came.size() || (g < gone.size() && gone[g].first < came[c].first)) {
      ++count.removed;
      ++g;
    } else if (g == gone.size() || came[c].first < gone[g].first) {
      ++count.added;
      ++c;
    } else {
      ++count.changed;
      ++g;
      ++c;
    }
  }
  return count;
}

std::u16string ChangeText(const ChangeCount& count) {
  std::u16string text = u"+";
  text.append(Number(count.added)).append(u" -");
  text.append(Number(count.removed)).append(u" ~");
  return text.append(Number(count.changed));
}

}  // namespace kalvane
