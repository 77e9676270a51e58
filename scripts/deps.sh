#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing vintrel need.
set -euo pipefail
packages=(
  cmake g++ make pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  gputils xdg-utils dpkg-dev file python3 lintian
  clang libclang-rt-14-dev clang-format
  desktop-file-utils appstream
  xvfb xdotool imagemagick x11-apps
  fonts-dejavu-core fonts-liberation
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
