#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (default 60 s each).
# New inputs go to a scratch corpus and the seed corpus in tests/fuzz/corpus is only read;
# with MERGE=1 the seeds and the new inputs that add an edge (libFuzzer's -merge=1) replace it.
# Usage: [MERGE=1] tests/fuzz/run.sh [SECONDS] [TARGET...]
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
  mkdir -p "$seeds" "$scratch/new"
  echo "== $t: ${seconds}s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch/new" "$seeds" 2>"$scratch/log"; then
    status=1
    tail -n 40 "$scratch/log"
    echo "!! $t found a failure; artifacts in $scratch"
    continue
  fi
  grep -E '^(#[0-9]+.*(DONE|pulse)|stat::number_of_executed_units|stat::peak_rss_mb)' \
    "$scratch/log" | tail -n 3
  if [ "${MERGE:-0}" = 1 ]; then
    mkdir "$scratch/merged"
    "$build/fuzz/$t" -merge=1 -use_counters=0 "$scratch/merged" "$seeds" "$scratch/new" 2>/dev/null
    rm -rf "$seeds" && mv "$scratch/merged" "$seeds"
    echo "corpus: $(ls "$seeds" | wc -l) inputs"
  fi
  rm -rf "$scratch"
done
exit $status
