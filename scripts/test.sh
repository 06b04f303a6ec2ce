#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, browser and desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTALLYWELL_TESTS=ON
cd build
ctest --output-on-failure -j"$(nproc)"
