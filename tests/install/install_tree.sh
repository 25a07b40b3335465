#!/usr/bin/env bash
# `cmake --install` gives exactly the delivered files, and the desktop's own validators accept
# the menu entry and the AppStream data (validate-tree also checks that they name each other).
set -euo pipefail
cmake=$1 build=$2
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
"$cmake" --install "$build" --prefix "$root/usr" >/dev/null
files=$(cd "$root/usr" && find . ! -type d | LC_ALL=C sort)
expected="./bin/ludomat
./lib/ludomat/libludomat_sound.so
./share/applications/org.ludomat.Ludomat.desktop
./share/icons/hicolor/scalable/apps/org.ludomat.Ludomat.svg
./share/ludomat/dbLudomat.mdb
./share/ludomat/queen.wav
./share/metainfo/org.ludomat.Ludomat.metainfo.xml"
[ "$files" = "$expected" ] || { printf 'FAIL: installed\n%s\nexpected\n%s\n' "$files" "$expected"; exit 1; }
desktop-file-validate "$root/usr/share/applications/org.ludomat.Ludomat.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.ludomat.Ludomat.metainfo.xml"
appstreamcli validate-tree --no-net "$root"
