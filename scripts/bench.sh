#!/usr/bin/env bash
# Builds the benchmarks (bench/, optimised, in build-bench/) and runs every one of them:
# the native ones, then the main page's table timings in headless Chromium and in the real
# window (WebKitGTK under Xvfb).
# Arguments go to each native benchmark, e.g. --benchmark_filter=Rankings.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTALLYWELL_BENCH=ON -DTALLYWELL_TESTS=ON >/dev/null
cmake --build build-bench -j"$(nproc)"
for bench in build-bench/bench/*_bench; do
  echo "== ${bench##*/}"
  "$bench" "$@"
done
echo "== page_tables"
MAKE_CONTEST=build-bench/bench/make_contest BRIDGE_HARNESS=build-bench/tests/bridge_harness \
  node bench/page_tables.mjs
echo "== page_window"
MAKE_CONTEST=build-bench/bench/make_contest WEBVIEW_BRIDGE_CHECK=build-bench/tests/webview_bridge_check \
  node bench/page_window.mjs
