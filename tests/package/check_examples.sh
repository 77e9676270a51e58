#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, copies the installed examples folder elsewhere
# and runs each example's script with vintrel-batch from inside that copy; nothing but the
# examples' own files may be there.  Usage: check_examples.sh BUILD_DIR VINTREL_BATCH NAME...
set -euo pipefail
build=$1 batch=$2 fail=0
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cp -r "$(find "$scratch/prefix" -type d -path '*/doc/vintrel/examples')" "$scratch/copia de ejemplos"
cd "$scratch/copia de ejemplos"
for name in "$@"; do
  for ext in asm vbs hex lst; do [ -f "$name.$ext" ] || { echo "missing: $name.$ext"; fail=1; }; done
  out=$("$batch" "$name.vbs" 2>&1) || { echo "$name.vbs failed:"; echo "$out"; fail=1; }
done
extra=$(ls | grep -Ev '\.(asm|vbs|hex|lst)$' || true)
[ -z "$extra" ] || { echo "unexpected files: $extra"; fail=1; }
exit $fail
