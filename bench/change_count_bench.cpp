// Counting the changes between two lists of N rows, the history's "变化" after each write: time
// per count, to check that it grows linearly with the list (a million rows fit in one answer).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

#include "status/change_count.h"

namespace {

// N rows; `shift` moves every tenth address.
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
  // The second argument 1: the new list in another order, so that every row is looked up.
  if (state.range(1) != 0) std::shuffle(after.begin(), after.end(), std::mt19937(29));
  for (auto _ : state) {
    const kalvane::ChangeCount count = kalvane::CountChanges(before, after);
    benchmark::DoNotOptimize(count.changed);
  }
}
BENCHMARK(BM_CountChanges)
    ->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
