#!/usr/bin/env bash
# Takes a picture of the main window after loading the example program contador.hex through
# the Open dialog, single-stepping it and choosing a register to edit, all with real clicks on
# a virtual X server.
# Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT.png]
# Needs Xvfb, xdotool and ImageMagick's import; BUILD_DIR must hold bin/vintrel and the
# assembled examples (targets vintrel and vintrel_examples).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
out=${2:-$repo/docs/screenshot.png}
exe=$build/bin/vintrel
hex=$build/examples/contador.hex
for f in "$exe" "$hex"; do
  [ -e "$f" ] || { echo "missing $f (build the targets vintrel and vintrel_examples)" >&2; exit 1; }
done
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

display=
for n in $(seq 90 119); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }

xvfb_pid= app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

"$exe" >/dev/null 2>&1 &
app_pid=$!
# The start-up window gives way to the main window after 2.5 s. There is no window manager,
# so the main window sits at the screen's top left corner; the clicks below use its layout.
sleep 4

click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.2}"; }
click 488 348 1.5                  # "&Cargar": the Open dialog
xdotool type --delay 10 "$hex"
xdotool key Return
sleep 1
for _ in $(seq 12); do click 656 508 0.15; done   # "Ejec. &1"
click 156 232                      # register 0Ch (count): fills the Modificar panel
xdotool mousemove 1000 700          # no tool tip in the picture
sleep 0.5

mkdir -p "$(dirname "$out")"
import -window root -crop 777x538+0+0 +repage "$out"
echo "wrote $out"
