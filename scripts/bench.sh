#!/usr/bin/env bash
# Builds the benchmarks (bench/, optimised, in build-bench/) and runs every one of them.
# Arguments go to each benchmark, e.g. --benchmark_filter=Rankings.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALLYWELL_BENCH=ON -DTALLYWELL_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"
for bench in build-bench/bench/*_bench; do
  echo "== ${bench##*/}"
  "$bench" "$@"
done
