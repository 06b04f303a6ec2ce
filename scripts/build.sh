#!/usr/bin/env bash
# Configures and builds into the folder given first (incremental after the first run); the
# remaining arguments go to CMake. Each purpose keeps its own folder, so switching between
# running and testing never reconfigures a build.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
