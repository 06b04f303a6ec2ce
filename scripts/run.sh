#!/usr/bin/env bash
# Installs what building and running need, builds into build/, and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
bash scripts/build.sh build -DTALLYWELL_TESTS=OFF -DTALLYWELL_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display found: starting Tallywell Lite under a virtual display (xvfb-run)."
  echo "The window will not be visible on this machine; the card server still listens on port 56780."
  exec xvfb-run -a -s '-screen 0 1280x800x24' ./build/tallywell
fi
exec ./build/tallywell
