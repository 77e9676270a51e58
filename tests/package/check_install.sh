#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks the layout a desktop expects; with
# "deb", builds the Debian package with CPack and checks its files and dependencies instead.
# Usage: check_install.sh BUILD_DIR [deb]
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail=0
app=lib/vintrel id=org.quorvan.vintrel
helpers="mpasmwin.exe notepad quemador upd.exe vintrel-resultados"
files="$app/vintrel $app/vintrel-batch bin/vintrel bin/vintrel-batch share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg
  share/doc/vintrel/examples/contador.hex share/doc/vintrel/examples/contador.lst
  share/doc/vintrel/copyright share/doc/vintrel/changelog.gz share/man/man1/vintrel.1.gz
  share/man/man1/vintrel-batch.1.gz"
for h in $helpers; do files="$files $app/$h"; done
for s in 16 32 48 64 128 256; do files="$files share/icons/hicolor/${s}x${s}/apps/$id.png"; done
if [ "${2:-}" = deb ]; then
  (cd "$1" && cpack -G DEB -B "$out" >/dev/null)
  deb=$(ls "$out"/vintrel_*.deb)
  list=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in $files; do grep -qxF "./usr/$f" <<<"$list" || { echo "package lacks $f"; fail=1; }; done
  if grep -E 'tests/|bench/|\.a$|gtest' <<<"$list"; then echo "package carries build files"; fail=1; fi
  depends=$(dpkg-deb -f "$deb" Depends)
  for d in gputils xdg-utils qt6-translations-l10n libqt6widgets6 libc6; do
    grep -q "$d" <<<"$depends" || { echo "Depends lacks $d: $depends"; fail=1; }
  done
  version=$("$1/bin/vintrel-batch" --version)
  [ "$version" = "vintrel-batch $(dpkg-deb -f "$deb" Version)" ] || { echo "version: $version"; fail=1; }
  # What Debian's own checker says of the package: no error and no warning.
  if command -v lintian >/dev/null && ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
    grep -v 'root privileges' <<<"$report"; echo "lintian fails the package"; fail=1
  fi
  exit $fail
fi
cmake --install "$1" --prefix "$out" >/dev/null
for f in $files; do [ -e "$out/$f" ] || { echo "missing: $f"; fail=1; }; done
for x in vintrel vintrel-batch $helpers; do [ -x "$out/$app/$x" ] || { echo "not executable: $x"; fail=1; }; done
for link in vintrel vintrel-batch; do
  [ -L "$out/bin/$link" ] && [ "$(readlink -f "$out/bin/$link")" = "$(readlink -f "$out/$app/$link")" ] ||
    { echo "bin/$link is no link to $app/$link"; fail=1; }
done
# Helpers stay out of PATH so they never shadow other programs.
for h in $helpers; do [ ! -e "$out/bin/$h" ] || { echo "helper on PATH: $h"; fail=1; }; done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$out/share/applications/$id.desktop" || fail=1
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$out/share/metainfo/$id.metainfo.xml" || fail=1
fi
echo 'expect REG 3 18' | "$out/bin/vintrel-batch" || { echo "installed vintrel-batch failed"; fail=1; }
exit $fail
