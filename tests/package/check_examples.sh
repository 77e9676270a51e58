#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, copies the installed examples folder elsewhere
# and runs each example's script with vintrel-batch from inside that copy.
# Usage: check_examples.sh BUILD_DIR VINTREL_BATCH NAME...
set -euo pipefail
build=$1 batch=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
installed=$(find "$scratch/prefix" -type d -path '*/doc/vintrel/examples')
[ -n "$installed" ] || { echo "no examples folder installed"; exit 1; }
cp -r "$installed" "$scratch/copia de ejemplos"
cd "$scratch/copia de ejemplos"
fail=0
for name in "$@"; do
  for ext in asm vbs hex lst; do
    [ -f "$name.$ext" ] || { echo "missing: $name.$ext"; fail=1; }
  done
  if ! out=$("$batch" "$name.vbs" 2>&1); then
    echo "$name.vbs failed:"; echo "$out"; fail=1
  fi
done
# Only what a user needs: no build leftovers beside the examples.
extra=$(ls | grep -Ev '\.(asm|vbs|hex|lst)$' || true)
[ -z "$extra" ] || { echo "unexpected files: $extra"; fail=1; }
[ $fail -eq 0 ] && echo "installed examples ok: $*"
exit $fail
