#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, browser and desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Benchmarks are built (not run) so they cannot fall behind the code.
bash scripts/build.sh -DTALLYWELL_TESTS=ON -DTALLYWELL_BENCH=ON
cd build
ctest --output-on-failure -j"$(nproc)"
