#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks the layout a desktop expects.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
need() { [ -e "$prefix/$1" ] || { echo "missing: $1"; fail=1; }; }
app=lib/vintrel
for exe in vintrel vintrel-batch mpasmwin.exe notepad quemador upd.exe vintrel-resultados; do
  need "$app/$exe"
  [ -x "$prefix/$app/$exe" ] || { echo "not executable: $app/$exe"; fail=1; }
done
for link in vintrel vintrel-batch; do
  [ -L "$prefix/bin/$link" ] || { echo "bin/$link is not a link"; fail=1; continue; }
  [ "$(readlink -f "$prefix/bin/$link")" = "$(readlink -f "$prefix/$app/$link")" ] ||
    { echo "bin/$link points elsewhere: $(readlink "$prefix/bin/$link")"; fail=1; }
done
# Helpers stay out of PATH so they never shadow other programs.
for helper in notepad quemador mpasmwin.exe upd.exe vintrel-resultados; do
  [ ! -e "$prefix/bin/$helper" ] || { echo "helper on PATH: $helper"; fail=1; }
done
id=org.quorvan.vintrel
need "share/applications/$id.desktop"
need "share/metainfo/$id.metainfo.xml"
need "share/icons/hicolor/scalable/apps/$id.svg"
for s in 16 32 48 64 128 256; do need "share/icons/hicolor/${s}x${s}/apps/$id.png"; done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$id.desktop" || fail=1
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; fail=1; }
fi
# The installed batch runner works from its link.
echo 'expect REG 3 18' | "$prefix/bin/vintrel-batch" || { echo "installed vintrel-batch failed"; fail=1; }
[ $fail -eq 0 ] && echo "install tree ok"
exit $fail
