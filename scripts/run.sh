#!/usr/bin/env bash
# Installs what is missing, builds vintrel (Release) and starts the simulator.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh"
build=${VINTREL_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$(nproc)" --target vintrel vintrel-batch vintrel_examples
exec "$build/bin/vintrel"
