#include "status/change_count.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace kalvane {
namespace {

// Rows and hosts are counted in open-addressing tables of references into the lists compared: no
// row is copied, nothing is allocated per row, and the count takes time in proportion to the rows
// (a million of them from one answer included).
std::uint64_t HashHost(std::string_view host) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the letters in lower case
  for (const char ch : host) {
    hash ^= static_cast<unsigned char>(AsciiLower(ch));
    hash *= 1099511628211ull;
  }
  return hash;
}

std::uint64_t HashRow(const DomainMapping& row) {
  std::uint64_t hash = HashHost(row.host) ^ 0x9e3779b97f4a7c15ull;
  for (const char ch : row.address) {
    hash ^= static_cast<unsigned char>(ch);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool SameHost(std::string_view a, std::string_view b) { return EqualsAsciiNoCase(a, b); }
bool SameRow(const DomainMapping& a, const DomainMapping& b) {
  return a.address == b.address && SameHost(a.host, b.host);
}

// Counts per distinct key: `Add` finds the key's entry (by hash, then `same`) or makes one.
template <typename Key, typename Counts>
class CountTable {
 public:
  // At most two thirds of the slots fill up, which keeps the probes short.
  explicit CountTable(std::size_t keys) : slots_(std::bit_ceil(keys + keys / 2 + 2), 0) {
    entries_.reserve(keys);
  }

  template <typename Same>
  Counts& Add(const Key& key, std::uint64_t hash, Same same) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = static_cast<std::size_t>(hash) & mask;; slot = (slot + 1) & mask) {
      if (slots_[slot] == 0) {
        entries_.push_back({&key, hash, {}});
        slots_[slot] = static_cast<std::uint32_t>(entries_.size());
        return entries_.back().counts;
      }
      Entry& entry = entries_[slots_[slot] - 1];
      if (entry.hash == hash && same(*entry.key, key)) return entry.counts;
    }
  }

  struct Entry {
    const Key* key;
    std::uint64_t hash;
    Counts counts;
  };
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  // 0 empty, else an index into entries_ plus 1 (a 16 MiB answer holds far fewer rows than 2^32).
  std::vector<std::uint32_t> slots_;
  std::vector<Entry> entries_;
};

}  // namespace

ChangeCount CountChanges(const DomainList& before, const DomainList& after) {
  // A row that stands at the same place in both lists is kept: only the others need looking up.
  // The usual answer is the same rows again in the same order, a few of them changed.
  std::vector<const DomainMapping*> old_rows;
  std::vector<const DomainMapping*> new_rows;
  for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
    const DomainMapping* old_row = i < before.size() ? &before[i] : nullptr;
    const DomainMapping* new_row = i < after.size() ? &after[i] : nullptr;
    if (old_row != nullptr && new_row != nullptr && *old_row == *new_row) continue;
    if (old_row != nullptr) old_rows.push_back(old_row);
    if (new_row != nullptr) new_rows.push_back(new_row);
  }

  // How many more times each row stands in `before` than in `after`: above 0 gone, below 0 come.
  CountTable<DomainMapping, std::ptrdiff_t> rows(old_rows.size() + new_rows.size());
  for (const DomainMapping* row : old_rows) ++rows.Add(*row, HashRow(*row), SameRow);
  for (const DomainMapping* row : new_rows) --rows.Add(*row, HashRow(*row), SameRow);

  // The rows left over, by host: of one host's, a gone and a come row pair up as one changed.
  struct Leftovers {
    std::size_t gone = 0;
    std::size_t came = 0;
  };
  CountTable<std::string, Leftovers> hosts(rows.Entries().size());
  for (const auto& [row, hash, surplus] : rows.Entries()) {
    if (surplus == 0) continue;
    Leftovers& host = hosts.Add(row->host, HashHost(row->host), SameHost);
    if (surplus > 0) host.gone += static_cast<std::size_t>(surplus);
    if (surplus < 0) host.came += static_cast<std::size_t>(-surplus);
  }
  ChangeCount count;
  for (const auto& entry : hosts.Entries()) {
    const Leftovers& left = entry.counts;
    const std::size_t paired = std::min(left.gone, left.came);
    count.changed += paired;
    count.removed += left.gone - paired;
    count.added += left.came - paired;
  }
  return count;
}

std::u16string ChangeText(const ChangeCount& count) {
  std::u16string text = u"+";
  text.append(DecimalText(count.added)).append(u" -");
  text.append(DecimalText(count.removed)).append(u" ~");
  return text.append(DecimalText(count.changed));
}

}  // namespace kalvane
