// Counting the changes between two lists of N rows, the history's "变化" after each write: time
// per count, to check that it grows linearly with the list (a million rows fit in one answer).
#include <benchmark/benchmark.h>

#include <string>

#include "status/change_count.h"

namespace {

// N rows; `shift` moves every tenth address, and the list's order is turned round, so that the
// count meets changed rows and rows kept in another place.
kalvane::DomainList Rows(int rows, int shift) {
  kalvane::DomainList list;
  list.reserve(static_cast<std::size_t>(rows));
  for (int i = rows - 1; i >= 0; --i) {
    const int octet = (i % 250) + (i % 10 == 0 ? shift : 0);
    list.push_back(
        {"Host" + std::to_string(i) + ".example.com", "10." + std::to_string(octet) + ".0.1"});
  }
  return list;
}

void BM_CountChanges(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const kalvane::DomainList before = Rows(rows, 0);
  kalvane::DomainList after = Rows(rows, 1);
  for (auto _ : state) {
    const kalvane::ChangeCount count = kalvane::CountChanges(before, after);
    benchmark::DoNotOptimize(count.changed);
  }
  state.SetComplexityN(rows);
}
BENCHMARK(BM_CountChanges)
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
