#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTALLYWELL_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical display found: starting Tallywell Lite under a virtual display (xvfb-run)."
  echo "The window will not be visible on this machine; the card server still listens on port 56780."
  exec xvfb-run -a -s '-screen 0 1280x800x24' ./build/tallywell
fi
exec ./build/tallywell
