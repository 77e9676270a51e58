#!/usr/bin/env bash
# Installs what is missing, builds vintrel (Release) and makes its Debian package; prints the
# package's path. Install it with: sudo apt install ./build/vintrel_*.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh"
build=${VINTREL_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vintrel_*.deb
