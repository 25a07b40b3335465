#!/usr/bin/env bash
# The sign-in throttle of the real program across a restart, under Xvfb with xdotool: eight wrong
# passwords for Admin (the last five after their waits), "Salir", a start again at once, and the
# right password is still refused until the wait is over; then it is taken. Reads the journal
# and the throttle's table in the file.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$(cd "$1" && pwd)
  for tool in xvfb-run xdotool sqlite3 openbox; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$work/"
  cp "$build/share/ludomat/dbLudomat.mdb" "$work/dbLudomat.mdb"
  xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$0" --inside "$work"
  exit $?
fi

work=$2
db="$work/dbLudomat.mdb"
export QT_QPA_PLATFORM=xcb
. "$(dirname "$0")/x11.sh"
start_window_manager

"$work/ludomat" &
app=$!
trap 'kill $app $wm 2>/dev/null || true' EXIT

# A password typed in the accounts window, Enter to "Aceptar" and Enter again; the message it
# brings is dismissed.
attempt() {
  local usuario=$1 password=$2
  keys "$usuario"
  xdotool type --delay 50 "$password"
  keys "$usuario" Return Return
  box=$(wait_window '^Ludomat$') || fail "no message after the password $password"
  keys "$box" Return
  wait_gone '^Ludomat$' || fail "the message did not close"
}

usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed"
# Five are free; each further one only after the wait of the one before (2, 4, then 8 s).
for pause in 0 0 0 0 0 2.3 4.3; do
  sleep "$pause"
  attempt "$usuario" mala
done
sleep 8.3
attempt "$usuario" mala
failed_at=$(date +%s.%N)
keys "$usuario" alt+s
wait_exit $app || fail "the program did not end on Salir"
failures=$(sqlite3 "$db" "SELECT Fallos FROM Intentos WHERE Usuario = 'Admin'")
[ "$failures" = 8 ] || fail "the file keeps $failures failures for Admin, not 8"

# Started again at once: 16 s to wait, and the right password is refused without a check.
"$work/ludomat" &
app=$!
usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed after the restart"
attempt "$usuario" admin
xdotool search --onlyvisible --name '^Cambiar Contrase' >/dev/null 2>&1 \
  && fail "a restart let the password through before the wait was over"
last=$(sqlite3 "$db" "SELECT Evento || ': ' || Detalle FROM Registro WHERE Usuario = 'Admin' ORDER BY Secuencia DESC LIMIT 1")
[ "$last" = "Ingreso rechazado: espera por intentos fallidos" ] || fail "the restarted sign-in was journaled as $last"

# Once the wait is over the password is checked, and being right it clears the count.
sleep "$(awk -v at="$failed_at" -v now="$(date +%s.%N)" 'BEGIN { d = at + 16.5 - now; print (d > 0 ? d : 0) }')"
keys "$usuario"
xdotool type --delay 50 admin
keys "$usuario" Return Return
wait_window '^Cambiar Contrase' >/dev/null || fail "the right password was not taken after the wait"
[ "$(sqlite3 "$db" "SELECT count(*) FROM Intentos")" = 0 ] || fail "the count stayed after the right password"
kill $app
echo "throttle: 8 failures kept across a restart, the wait held, the right password taken after it"
