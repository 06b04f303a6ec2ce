#!/usr/bin/env bash
# Installs what is missing, builds into build-tests/, and runs every test (unit, browser and
# desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
# Benchmarks are built (not run) so they cannot fall behind the code.
bash scripts/build.sh build-tests -DTALLYWELL_TESTS=ON -DTALLYWELL_BENCH=ON
cd build-tests
ctest --output-on-failure -j"$(nproc)"
