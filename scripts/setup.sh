#!/usr/bin/env bash
# Installs the Debian packages a purpose needs, skipping what is already there, so that a
# machine with them all never touches the network.
#   setup.sh run    building and running the program
#   setup.sh test   that, plus the tests' and benchmarks' tools and playwright-core
set -euo pipefail
cd "$(dirname "$0")/.."
purpose=${1:-run}

# fonts-liberation2 gives Arial's metrics, which the main page is laid out for: with a wider
# stand-in its navigation overflows a 1040-pixel window and the page warns about zoom.
# xvfb and xauth are the no-display fallback of the run command.
packages=(
  build-essential cmake pkg-config
  libsqlite3-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
  libqrcodegencpp-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev
  fonts-liberation2
  xvfb xauth
)
if [ "$purpose" = test ]; then
  packages+=(
    sqlite3
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xdotool python3-xlib x11-utils imagemagick zbar-tools curl
    chromium
  )
  # Node and npm may already come from elsewhere; only ask apt for them when missing.
  command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  if ! { $SUDO apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; }; then
    echo "These Debian packages are missing and could not be installed (is the computer offline?): ${missing[*]}." >&2
    exit 1
  fi
fi

[ "$purpose" = test ] || exit 0

# Browser tests drive Debian's chromium; never let playwright fetch a browser of its own.
wanted=$(sed -n 's/.*"playwright-core": *"\([^"]*\)".*/\1/p' tests/e2e/package.json)
installed=$(sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p' tests/e2e/node_modules/playwright-core/package.json 2>/dev/null | head -n 1 || true)
if [ "$wanted" != "$installed" ]; then
  echo "Installing playwright-core $wanted for the browser tests"
  if ! (cd tests/e2e && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefer-offline --no-audit --no-fund); then
    echo "npm could not install playwright-core (its error is above): check that this computer reaches the npm registry, then run the test command again." >&2
    exit 1
  fi
fi
