#!/usr/bin/env bash
# Builds the benchmarks (optimised, no sanitizers) and runs each; figures are for comparing
# side by side within one run, on a machine that may be busy.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 >/dev/null
for bench in build/bench/*_bench; do
  echo "== $(basename "$bench")"
  "$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
done
