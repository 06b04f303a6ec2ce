#!/usr/bin/env bash
# Installs what building, running and testing need, skipping what is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

# fonts-liberation2 gives Arial's metrics, which the main page is laid out for: with a wider
# stand-in its navigation overflows a 1040-pixel window and the page warns about zoom.
packages=(
  build-essential cmake pkg-config git
  libsqlite3-dev sqlite3
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
  libqrcodegencpp-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev
  fonts-liberation2
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool python3-xlib x11-utils imagemagick
  chromium zbar-tools
  nodejs npm
  curl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  # Node and npm may already come from elsewhere; only ask apt for them when missing.
  if command -v node >/dev/null 2>&1; then
    filtered=()
    for p in "${missing[@]}"; do
      case "$p" in nodejs|npm) ;; *) filtered+=("$p") ;; esac
    done
    missing=("${filtered[@]+"${filtered[@]}"}")
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Browser tests drive Debian's chromium; never let playwright fetch a browser of its own.
wanted=$(sed -n 's/.*"playwright-core": *"\([^"]*\)".*/\1/p' tests/e2e/package.json)
installed=$(sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p' tests/e2e/node_modules/playwright-core/package.json 2>/dev/null | head -n 1 || true)
if [ "$wanted" != "$installed" ]; then
  echo "Installing playwright-core for the browser tests"
  (cd tests/e2e && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
fi
