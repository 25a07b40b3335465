#!/usr/bin/env bash
# The owner's view in a real browser: the real program under Xvfb, driven with xdotool, turns
# the view on in "Vista del dueño" (administrator's password), and copies the pairing link the
# QR code holds; headless Chromium (Selenium) opens it, pairs, sees the room, watches a station
# the program opens count, at a phone's width and a desktop's; the program revokes the device
# and the page says so (browser_e2e.py). Screenshots go to the test's folder.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$(cd "$1" && pwd)
  for f in bin/ludomat share/ludomat/dbLudomat.mdb share/ludomat/queen.wav; do
    [ -e "$build/$f" ] || { echo "missing $f beside the executable in $build"; exit 1; }
  done
  for tool in xvfb-run xdotool openbox sqlite3 curl /usr/bin/chromium /usr/bin/chromedriver; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
  done
  /usr/bin/python3 -c 'import selenium' 2>/dev/null || { echo "SKIP: python3-selenium not installed"; exit 77; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$work/"
  cp "$build/share/ludomat/dbLudomat.mdb" "$work/dbLudomat.mdb"
  shots="$build/tests/e2e/browser_e2e"
  mkdir -p "$shots"
  xvfb-run -a -s "-noreset -screen 0 1280x1024x24" "$0" --inside "$work" "$shots"
  exit $?
fi

work=$2
shots=$3
unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb
here=$(dirname "$0")

. "$here/x11.sh"
start_window_manager

# A port nobody listens on.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')

"$work/ludomat" &
app=$!
trap 'kill $app $wm 2>/dev/null || true' EXIT

usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed"
main=$(wait_window 'Ludomat para Cyber') || fail "the main window never showed"
xdotool type --delay 50 admin
keys "$usuario" Return Return
dialog=$(wait_window '^Cambiar Contrase') || fail "the first sign-in did not ask for a new password"
keys "$dialog"
xdotool type --delay 50 clave-nueva
keys "$dialog" Tab
xdotool type --delay 50 clave-nueva
keys "$dialog" Return
wait_gone '^Usuario$' || fail "sign-in did not close the accounts window"
accept_float

# The room's menu (a right click below the stations), "Vista del dueño…", the password.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 5 $((HEIGHT - 60)) click 3
sleep 0.5
xdotool key v
password=$(wait_window '^Contraseña del administrador$') || fail "the view's window asked no password"
keys "$password"
xdotool type --delay 50 clave-nueva
keys "$password" Return
vista=$(wait_window '^Vista del dueño$') || fail "the view's window never showed"

# Turned on at a free port; running once its page answers.
keys "$vista" alt+p ctrl+a
xdotool type --delay 50 "$port"
keys "$vista" alt+a
for _ in $(seq 1 300); do
  curl -sk -o /dev/null "https://127.0.0.1:$port/" && break
  sleep 0.1
done
curl -sk -o /dev/null "https://127.0.0.1:$port/" || fail "the view does not answer on port $port"
[ "$(sqlite3 "$work/dbLudomat.mdb" "SELECT Valor FROM Salon WHERE Clave = 'VistaActiva'")" = "sí" ] \
  || fail "turning the view on was not stored"
sleep 1
import -window root "$shots/programa-vista.png" 2>/dev/null || true

/usr/bin/python3 "$here/browser_e2e.py" --main "$main" --vista "$vista" --shots "$shots" \
  || fail "the browser's part failed"

# Leaving: the view ends with the program.
child=$(pgrep -P "$app" -f -- '--serve' || true)
[ -n "$child" ] || fail "no view process under the program"
kill -9 "$app"
wait "$app" 2>/dev/null || true
for _ in $(seq 1 50); do kill -0 "$child" 2>/dev/null || break; sleep 0.1; done
kill -0 "$child" 2>/dev/null && fail "the view outlived the program"
echo "browser e2e passed; screenshots in $shots"
