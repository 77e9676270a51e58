#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its file list and dependencies.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/vintrel_*.deb)
fail=0
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/lib/vintrel/vintrel ./usr/lib/vintrel/vintrel-batch ./usr/lib/vintrel/mpasmwin.exe \
         ./usr/lib/vintrel/notepad ./usr/lib/vintrel/quemador ./usr/lib/vintrel/upd.exe ./usr/lib/vintrel/vintrel-resultados \
         ./usr/bin/vintrel ./usr/bin/vintrel-batch \
         ./usr/share/applications/org.quorvan.vintrel.desktop \
         ./usr/share/metainfo/org.quorvan.vintrel.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/org.quorvan.vintrel.svg \
         ./usr/share/icons/hicolor/48x48/apps/org.quorvan.vintrel.png \
         ./usr/share/doc/vintrel/examples/contador.hex ./usr/share/doc/vintrel/examples/contador.lst \
         ./usr/share/doc/vintrel/copyright ./usr/share/doc/vintrel/changelog.gz \
         ./usr/share/man/man1/vintrel.1.gz ./usr/share/man/man1/vintrel-batch.1.gz; do
  grep -qxF "$f" <<<"$files" || { echo "package lacks $f"; fail=1; }
done
# Nothing from the build or the tests leaks into the package.
if grep -E 'tests/|bench/|\.a$|gtest' <<<"$files"; then echo "package carries build files"; fail=1; fi
depends=$(dpkg-deb -f "$deb" Depends)
for d in gputils xdg-utils qt6-translations-l10n libqt6widgets6 libc6; do
  grep -q "$d" <<<"$depends" || { echo "Depends lacks $d: $depends"; fail=1; }
done
# What Debian's own checker says of the package: no error and no warning.
if command -v lintian >/dev/null; then
  if ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
    grep -v 'root privileges' <<<"$report"; echo "lintian fails the package"; fail=1
  fi
fi
[ $fail -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $fail
