#include "status/change_count.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "base/text.h"

namespace kalvane {
namespace {

// Rows and hosts are looked up by reference into the lists compared: no row is copied, and the
// count takes time in proportion to the rows (a million of them from one answer included).
std::size_t HashHost(std::string_view host) {
  std::size_t hash = 14695981039346656037ull;  // FNV-1a over the letters in lower case
  for (const char ch : host) {
    hash ^= static_cast<unsigned char>(AsciiLower(ch));
    hash *= 1099511628211ull;
  }
  return hash;
}

struct HostHash {
  std::size_t operator()(std::string_view host) const { return HashHost(host); }
};
struct SameHost {
  bool operator()(std::string_view a, std::string_view b) const { return EqualsAsciiNoCase(a, b); }
};

struct RowHash {
  std::size_t operator()(const DomainMapping* row) const {
    return HashHost(row->host) ^ (std::hash<std::string_view>()(row->address) * 31);
  }
};
struct SameRow {
  bool operator()(const DomainMapping* a, const DomainMapping* b) const {
    return a->address == b->address && EqualsAsciiNoCase<char>(a->host, b->host);
  }
};

std::u16string Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

}  // namespace

ChangeCount CountChanges(const DomainList& before, const DomainList& after) {
  // How many more times each row stands in `before` than in `after`: above 0 gone, below 0 come.
  std::unordered_map<const DomainMapping*, std::ptrdiff_t, RowHash, SameRow> balance;
  balance.reserve(before.size() + after.size());
  for (const DomainMapping& row : before) ++balance[&row];
  for (const DomainMapping& row : after) --balance[&row];

  // The rows left over, by host: of one host's, a gone and a come row pair up as one changed.
  struct Leftovers {
    std::size_t gone = 0;
    std::size_t came = 0;
  };
  std::unordered_map<std::string_view, Leftovers, HostHash, SameHost> hosts;
  for (const auto& [row, surplus] : balance) {
    if (surplus == 0) continue;
    Leftovers& host = hosts[row->host];
    if (surplus > 0) host.gone += static_cast<std::size_t>(surplus);
    if (surplus < 0) host.came += static_cast<std::size_t>(-surplus);
  }
  ChangeCount count;
  for (const auto& [host, left] : hosts) {
    const std::size_t paired = std::min(left.gone, left.came);
    count.changed += paired;
    count.removed += left.gone - paired;
    count.added += left.came - paired;
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
