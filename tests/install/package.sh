#!/usr/bin/env bash
# The Debian package made by CPack: its files and library dependencies; then the unpacked
# program started as a new user starts it from the menu. It must seed the user's data folder
# from the packaged template, show the sign-in window with the class the menu entry names, and
# carry its icon.
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }

if [ "${1:-}" != "--inside" ]; then
  cpack=$1 build=$2
  for tool in "$cpack" dpkg-deb dpkg-shlibdeps xvfb-run xdotool xprop sqlite3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # Made outside the build tree, which keeps no package files.
  "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >/dev/null
  deb=$(echo "$work"/pkg/ludomat_1.0_*.deb)
  [ -f "$deb" ] || fail "no package in $work/pkg: $(ls "$work/pkg")"
  files=$(dpkg-deb -c "$deb" | awk '/^-/ {print $6}' | LC_ALL=C sort)
  expected="./usr/bin/ludomat
./usr/lib/ludomat/libludomat_sound.so
./usr/share/applications/org.ludomat.Ludomat.desktop
./usr/share/icons/hicolor/scalable/apps/org.ludomat.Ludomat.svg
./usr/share/ludomat/dbLudomat.mdb
./usr/share/ludomat/queen.wav
./usr/share/metainfo/org.ludomat.Ludomat.metainfo.xml"
  [ "$files" = "$expected" ] || fail "package holds
$files"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libqt6widgets6 libqt6multimedia6 libsodium libsqlite3 qt6-qpa-plugins; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
  done
  dpkg -x "$deb" "$work/root"
  xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$0" --inside "$work"
  exit $?
fi

work=$2
export HOME=$work/home QT_QPA_PLATFORM=xcb
unset XDG_DATA_HOME LUDOMAT_DATA_DIR
mkdir -p "$HOME"
"$work/root/usr/bin/ludomat" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
window=""
for _ in $(seq 1 600); do
  window=$(xdotool search --onlyvisible --name '^Usuario$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $app 2>/dev/null || fail "the program ended at start-up"
  sleep 0.1
done
[ -n "$window" ] || fail "the sign-in window never showed"
db=$HOME/.local/share/ludomat/dbLudomat.mdb
[ -f "$db" ] || fail "the data folder was not seeded: $(ls -R "$HOME")"
[ "$(sqlite3 "$db" "SELECT Usuario FROM Usuarios")" = Admin ] || fail "the seeded books have no Admin"
class=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/org.ludomat.Ludomat.desktop")
xprop -id "$window" WM_CLASS | grep -q "\"$class\"\$" || fail "window class $(xprop -id "$window" WM_CLASS), menu entry $class"
[ "$(xprop -id "$window" _NET_WM_ICON | grep -c 'Icon (')" -gt 0 ] || fail "the window has no icon"
# The alarm's sound module is found from the program's folder and loaded once the windows are up.
module=$work/root/usr/lib/ludomat/libludomat_sound.so
for _ in $(seq 1 100); do
  grep -qF "$module" /proc/$app/maps && break
  sleep 0.1
done
grep -qF "$module" /proc/$app/maps || fail "the sound module was not loaded: $(grep -c ludomat /proc/$app/maps) ludomat mappings"
echo "package: installs, seeds $db and shows the sign-in window"
