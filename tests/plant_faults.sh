#!/bin/sh
# Plants faults in the sources one at a time and tells which ones the suite catches.
#   usage: tests/plant_faults.sh BUILD PLANTS [CTEST_ARGUMENT...]
# PLANTS has one fault a line, `file|sed expression|what the fault is` (file relative to the
# source tree, `#` lines ignored). For each: apply the expression, rebuild, run the tests (all,
# or those the ctest arguments choose, e.g. -E deb_package), restore the file.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
build=$1 plants=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log" "$log.orig"' EXIT
n=0 caught=0 missed=0 invalid=0
while IFS= read -r line; do
  case $line in ''|'#'*) continue ;; esac
  # The expression may hold '|' itself: the file is before the first, the text after the last.
  file=${line%%|*} rest=${line#*|}
  what=${rest##*|} expr=${rest%|*}
  n=$((n + 1))
  cp "$src/$file" "$log.orig"
  sed -i -e "$expr" "$src/$file"
  if cmp -s "$src/$file" "$log.orig"; then
    result="not applied"; invalid=$((invalid + 1))
  elif ! cmake --build "$build" -j2 > "$log" 2>&1; then
    result="no build"; invalid=$((invalid + 1))
  elif ! ctest --test-dir "$build" -j2 "$@" > "$log" 2>&1; then
    result="caught by $(grep -E '^\s+[0-9]+ - ' "$log" | sed 's/.* - \([^ ]*\) .*/\1/' | tr '\n' ' ')"
    caught=$((caught + 1))
  else
    result="MISSED"; missed=$((missed + 1))
  fi
  cp "$log.orig" "$src/$file"
  printf '%2d %-32s %-52s %s\n' "$n" "$file" "$what" "$result"
done < "$plants"
cmake --build "$build" -j2 > /dev/null 2>&1
echo "$n planted: $caught caught, $missed missed, $invalid not applied or not built"
