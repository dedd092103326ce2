#!/usr/bin/env bash
# Installs the Debian packages TARNO needs to build, run and test, when missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config          # compiler and build
  libsdl2-dev                               # window, keys, tones, message box
  libfreetype-dev libfontconfig-dev         # glyph rendering and font lookup
  fonts-liberation                          # metric-compatible Arial / Courier New / Times faces
  libpng-dev                                # PNG screenshots
  libfast-float-dev                         # fast, correctly rounded number parsing (ASCII spectra)
  libgtest-dev libgmock-dev                 # unit and flow tests
  xvfb xdotool imagemagick python3          # end-to-end tests in a real window (python3: close requests to the window)
  gle-graphics ghostscript                  # renders the written plot scripts in the tests (gle needs gs for PDF/PNG)
  python3-scipy python3-pandas              # reference figures printed beside ours by tarno-bench
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
