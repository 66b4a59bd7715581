#!/usr/bin/env bash
# Installs everything the build, the application and the tests need on Debian 12.
# Safe to run again: apt is asked only for what is missing, npm only when the lock changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  # build
  g++ cmake ninja-build pkg-config git
  libgtk-3-dev libwebkit2gtk-4.1-dev rapidjson-dev libgtest-dev
  # running under a virtual display; the web process aborts without the Mesa drivers
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  # end-to-end tests: clicks, screenshots, reading the status strip through AT-SPI
  xdotool imagemagick at-spi2-core dbus python3-pyatspi python3-gi
  # the page in a real browser
  chromium nodejs
  # the tools' own style checks
  clang-format clang-tidy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# npm comes with some Node.js builds and separately with Debian's; ask for it only when absent.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node packages for the page tests (playwright-core only: it drives Debian's chromium and
# never downloads a browser of its own).
if [ -f package-lock.json ]; then
  stamp=node_modules/.lock-stamp
  if [ ! -f "$stamp" ] || ! cmp -s package-lock.json "$stamp"; then
    npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json "$stamp"
  fi
fi
