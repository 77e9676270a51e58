#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (default 60 s each).
# New inputs go to a scratch corpus; the seed corpus in tests/fuzz/corpus is only read.
# Usage: tests/fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
build=${VINTREL_FUZZ_BUILD_DIR:-$here/build-fuzz}
CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVINTREL_FUZZ=ON -DVINTREL_GUI=OFF -DVINTREL_TESTS=OFF -DVINTREL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$build"/fuzz/fuzz_*; do targets+=("$(basename "$t")"); done
fi
status=0
for t in "${targets[@]}"; do
  scratch=$(mktemp -d)
  seeds="$here/tests/fuzz/corpus/$t"
  mkdir -p "$seeds"
  echo "== $t: ${seconds}s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch" "$seeds" 2>"$scratch/log"; then
    status=1
    tail -n 40 "$scratch/log"
    echo "!! $t found a failure; artifacts in $scratch"
    continue
  fi
  grep -E '^(#[0-9]+.*(DONE|pulse)|stat::number_of_executed_units|stat::peak_rss_mb|INFO: .*cov)' \
    "$scratch/log" | tail -n 4
  rm -rf "$scratch"
done
exit $status
