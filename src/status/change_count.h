#pragma once

// How the rows Kalvane holds in the hosts file changed with one write, for the status history's
// "变化" column.

#include <cstddef>
#include <string>

#include "sync/domain_list.h"

namespace kalvane {

struct ChangeCount {
  std::size_t added = 0;
  std::size_t removed = 0;
  std::size_t changed = 0;  // a host kept with another address

  bool operator==(const ChangeCount&) const = default;
};

// The rows are compared as multisets, not by position: a row of `before` that `after` holds as
// well, host and address alike, is kept, wherever it stands. Of the rows left over, one of
// `before` and one of `after` with the same host count as one changed row; the rest count as
// removed and added. So the counts always add up (rows before + added - removed = rows after),
// a host listed twice counts as two rows, as it is two lines of the hosts file, and a duplicate
// row that appears or goes counts as one row added or removed. Host names are compared without
// regard to ASCII letter case, as the resolver reads them; addresses byte for byte.
ChangeCount CountChanges(const DomainList& before, const DomainList& after);

// "+A -R ~C", e.g. "+2 -0 ~1"; an unchanged list reads "+0 -0 ~0".
std::u16string ChangeText(const ChangeCount& count);

}  // namespace kalvane
