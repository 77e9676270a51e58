#!/bin/sh
# The helper programs the tool buttons start, on real files: the assembler (on gpasm), the
# programmer and the editor.  usage: helpers.sh APPDIR
app=$1
t=$(mktemp -d) || exit 1
trap 'rm -rf "$t"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
unset DISPLAY WAYLAND_DISPLAY

# The programmer: without a configured command it says so and fails; with one it gets the file
# named as the simulator gave it, less ".hex", in whatever case the file is spelt.
mkdir "$t/Mis Pic" && echo ':00000001FF' > "$t/Mis Pic/Motor.HEX"
env -u VINTREL_PROGRAMMER "$app/quemador" "$t/Mis Pic/Motor" > "$t/out" 2>&1 && fail "quemador without a programmer"
grep -q VINTREL_PROGRAMMER "$t/out" || fail "quemador does not name VINTREL_PROGRAMMER"
printf '#!/bin/sh\nfor a; do echo "$a"; done > "%s/got"\n' "$t" > "$t/burn" && chmod +x "$t/burn"
VINTREL_PROGRAMMER="$t/burn --chip 16f84" "$app/quemador" "$t/Mis" "Pic/Motor" || fail "quemador"
[ "$(cat "$t/got")" = "$(printf -- '--chip\n16f84\n%s' "$t/Mis Pic/Motor.HEX")" ] || fail "quemador args: $(cat "$t/got")"

# The editor opens the file with the desktop's opener.
mkdir "$t/bin" && cp "$t/burn" "$t/bin/xdg-open" && : > "$t/Mis Pic/a.asm"
DISPLAY=:99 PATH="$t/bin:/usr/bin:/bin" "$app/notepad" "$t/Mis" "Pic/a.asm" || fail "notepad"
[ "$(cat "$t/got")" = "$t/Mis Pic/a.asm" ] || fail "notepad args: $(cat "$t/got")"

command -v gpasm > /dev/null || exit 77
# The assembler: the HEX beside the source with the simulator's options, in any case and order;
# an error goes to the .err file and leaves no stale HEX.
printf '\tLIST P=16F84\n\t#include <p16f84.inc>\nstart\tclrf portb\n\tmovlw 10\ndone\tgoto done\n\tend\n' > "$t/Mis Pic/P.ASM"
"$app/mpasmwin.exe" /PPic16f84 /W2 /RdEc /L- /C- /Ainhx8m "$t/Mis" "Pic/P.ASM" || fail "mpasmwin.exe"
grep -q 86010A300228 "$t/Mis Pic/P.hex" || fail "hex: $(cat "$t/Mis Pic/P.hex")"
sed -i 's/goto done/goto nowhere/' "$t/Mis Pic/P.ASM"
"$app/mpasmwin.exe" /aINHX8M /c- /rDEC "$t/Mis" "Pic/P.ASM" > /dev/null 2>&1 && fail "mpasmwin.exe on an error"
[ -e "$t/Mis Pic/P.hex" ] && fail "stale hex"
grep -q nowhere "$t/Mis Pic/P.err" || fail "err file"
echo "helpers ok"
