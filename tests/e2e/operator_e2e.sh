#!/usr/bin/env bash
# Drives the real program as an operator would, under Xvfb with xdotool: sign in as Admin,
# replacing the delivered password as the first sign-in asks, rent station 1 in Contador mode with Alt+1 and close it, rent station 2 prepaid, run the
# cash close; open stations 3 and 5 while another program reads the file and the file is
# removed (rm) under the program, kill the program with SIGKILL, start it again and close the
# two stations it brought back; then reads the rows in the database file. Also starts copies on
# the file given a second name (a hard link) and on a folder whose books are missing: both must
# refuse to run. (A second start on the same file: second_start_e2e.sh.)
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$(cd "$1" && pwd)
  for f in bin/ludomat share/ludomat/dbLudomat.mdb share/ludomat/queen.wav; do
    [ -e "$build/$f" ] || { echo "missing $f beside the executable in $build"; exit 1; }
  done
  for tool in xvfb-run xdotool sqlite3 openbox faketime; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # A portable copy: the program with its own database and alarm in one writable folder.
  cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$work/"
  cp "$build/share/ludomat/dbLudomat.mdb" "$work/dbLudomat.mdb"
  # And an installed one, with its delivered files beside it.
  mkdir -p "$work/inst/bin" "$work/inst/share/ludomat"
  cp "$build/bin/ludomat" "$work/inst/bin/"
  cp "$build/share/ludomat/dbLudomat.mdb" "$build/share/ludomat/queen.wav" "$work/inst/share/ludomat/"
  xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$0" --inside "$work"
  exit $?
fi

work=$2
db="$work/dbLudomat.mdb"
unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb

. "$(dirname "$0")/x11.sh"
start_window_manager

"$work/ludomat" &
app=$!
trap 'kill $app $wm 2>/dev/null || true' EXIT

usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed"
main=$(wait_window 'Ludomat para Cyber') || fail "the main window never showed"
# The captions the window manager shows are the windows' own, nothing appended.
for pair in "$usuario=Usuario" "$main=Zidorodiz Ludomat para Cyber-Café"; do
  shown=$(xprop -id "${pair%%=*}" _NET_WM_NAME | sed 's/^[^"]*"\(.*\)"$/\1/')
  [ "$shown" = "${pair#*=}" ] || fail "a window's caption reads \"$shown\""
done

# Sign in: the accounts window is the active one and its password box has the focus from the
# start, so the first keys typed land there; Enter moves to "Aceptar", which Enter presses.
# The delivered password asks for a new one, typed twice, before the sign-in is done.
[ "$(xdotool getactivewindow)" = "$usuario" ] || fail "the accounts window is not the active window at start-up"
xdotool type --delay 50 admin
keys "$usuario" Return Return
dialog=$(wait_window '^Cambiar Contrase') || fail "the first sign-in did not ask for a new password"
keys "$dialog"
xdotool type --delay 50 clave-nueva
keys "$dialog" Tab
xdotool type --delay 50 clave-nueva
keys "$dialog" Return
wait_gone '^Usuario$' || fail "sign-in did not close the accounts window"
# The shift opens with the float, offered in its box: Enter takes it.
fondo=$(wait_window '^Fondo de caja$') || fail "the sign-in did not ask for the float"
keys "$fondo"
xdotool type --delay 50 250
keys "$fondo" Return
wait_gone '^Fondo de caja$' || fail "Enter did not open the shift"
[ "$(sqlite3 "$db" "SELECT Usuario || '|' || Fondo || '|' || Estado FROM Turnos")" = "Admin|250.0|Abierto" ] \
  || fail "the shift was not opened with its float"

# Station 1, Contador: open, let it run, close. Closing shows the checkout: Esc goes on with the
# rental (nothing recorded), Enter collects.
keys "$main" alt+1
sleep 2
keys "$main" alt+1
checkout=$(wait_window '^Cerrar Puesto 1$') || fail "closing station 1 showed no checkout"
keys "$checkout" Escape
wait_gone '^Cerrar Puesto 1$' || fail "Esc did not leave the checkout"
[ "$(sqlite3 "$db" "SELECT count(*) FROM Alquiler")" = "0" ] || fail "the checkout's Esc recorded a rental"
keys "$main" alt+1
checkout=$(wait_window '^Cerrar Puesto 1$') || fail "closing station 1 again showed no checkout"
keys "$checkout" Return
wait_gone '^Cerrar Puesto 1$' || fail "Enter did not collect at the checkout"

# Station 2, Prepago: its "Prepago" option (frame at 16,88; option at 8,24 inside), two blocks.
xdotool mousemove --window "$main" 40 118 click 1
sleep 0.3
keys "$main" Down Return Return

# Cash close: run it and leave.
keys "$main" alt+c
caja=$(wait_window '^Cierre de Caja$') || fail "the cash close never showed"
keys "$caja" alt+p
sleep 1
keys "$caja" alt+s
wait_gone '^Cierre de Caja$' || fail "the cash close did not close"

# Stations 3 and 5 open while another program reads the file; between them the file is removed
# under the program, which puts it back from its open connection and says so; station 5 then
# lands in the file an outside reader sees. Then the program is killed.
keys "$main" alt+3
[ "$(sqlite3 "$db" "SELECT count(*) FROM Alquiler")" = "2" ] || fail "an outside reader does not see the rentals"
rm "$db"
box=$(wait_window '^Ludomat$') || fail "no message said the removed books were put back"
keys "$box" Return
keys "$main" alt+5
sleep 0.5
open=$(sqlite3 "$db" "SELECT group_concat(Puesto, ',') FROM (SELECT Puesto FROM PuestosAbiertos ORDER BY Puesto)")
[ "$open" = "2,3,5" ] || fail "after the books were put back an outside reader sees the stations $open open"
kill -9 $app
wait $app 2>/dev/null || true

# Started again: the stations are back (the prepaid hour of station 2 too), said in one
# message once someone has signed in, and close as usual.
"$work/ludomat" &
app=$!
usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed after the restart"
main=$(wait_window 'Ludomat para Cyber') || fail "the main window never showed after the restart"
keys "$usuario"
xdotool type --delay 50 clave-nueva
keys "$usuario" Return Return
wait_gone '^Usuario$' || fail "sign-in after the restart did not close the accounts window"
# The shift the killed program left open is the same operator's: Enter goes on with it.
continue_shift
box=$(wait_window '^Ludomat$') || fail "no message named the stations brought back"
keys "$box" Return
for n in 3 5; do
  keys "$main" alt+$n
  checkout=$(wait_window "^Cerrar Puesto $n\$") || fail "closing station $n showed no checkout"
  keys "$checkout" Return
  wait_gone "^Cerrar Puesto $n\$" || fail "Enter did not collect station $n"
done

# Leaving with the prepaid hour of station 2 running asks first: Esc stays, "Dejar en curso"
# (before the default "Cancelar") leaves it counting.
keys "$main" alt+s
box=$(wait_window '^Ludomat$') || fail "leaving with a station open asked nothing"
keys "$box" Escape
wait_gone '^Ludomat$' || fail "Esc did not leave the question"
sleep 0.5
kill -0 $app 2>/dev/null || fail "the program ended although the question was cancelled"
keys "$main" alt+s
box=$(wait_window '^Ludomat$') || fail "leaving again asked nothing"
keys "$box" shift+Tab space
# Then the count, blind: Enter stores it (nothing counted), Enter again goes on and the program ends.
arqueo=$(wait_window '^Arqueo de caja$') || fail "leaving did not ask for the count"
keys "$arqueo" Return
sleep 0.5
[ "$(sqlite3 "$db" "SELECT Estado || '|' || Contado || '|' || (Diferencia = -Esperado) FROM Turnos")" = "Cerrado|0.0|1" ] \
  || fail "the count did not close the shift"
keys "$arqueo" Return
for _ in $(seq 1 50); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "the program did not end on Salir"

rows=$(sqlite3 "$db" "SELECT Puesto, Modo, Usuario, Tiempo, Importe FROM Alquiler ORDER BY rowid")
expected=$'1|Contador|Admin|00:00:00|10.0\n2|Prepago|Admin|01:00:00|20.0\n3|Contador|Admin|00:00:00|10.0\n5|Contador|Admin|00:00:00|10.0'
[ "$rows" = "$expected" ] || fail "rows in Alquiler:
$rows
expected:
$expected"
[ "$(sqlite3 "$db" "SELECT COUNT(*) FROM Caja")" = "0" ] || fail "Caja left filled"
open=$(sqlite3 "$db" "SELECT Puesto, Modo FROM PuestosAbiertos")
[ "$open" = "2|Prepago" ] || fail "open stations kept: $open (only the prepaid hour of station 2 still runs)"
# The copies of the books are made beside the shop's work, so their entries fall where they may.
journal=$(sqlite3 "$db" "SELECT group_concat(Evento || ifnull(' ' || Puesto, ''), ', ')
                         FROM (SELECT * FROM Registro WHERE Evento <> 'Copia de seguridad' ORDER BY Secuencia)")
backups=$(sqlite3 "$db" "SELECT count(*) FROM Registro WHERE Evento = 'Copia de seguridad'")
[ "$backups" = 2 ] && [ "$(ls "$work/copias" | wc -l)" = 2 ] \
  || fail "copies of the books: $backups in the journal, $(ls "$work/copias" | wc -l) in copias (the first start and \
the cash close; the second start came within 10 minutes of a copy)"
# The administrator's sign-ins and cash close are sealed with the key the new password made.
expected="Libros iniciados, Programa iniciado, Contraseña cambiada, Clave del sello, Ingreso, Sello, Turno abierto, \
Puesto abierto 1, Alquiler registrado 1, Puesto cerrado 1, Alquiler registrado 2, Puesto abierto 2, Cierre de caja, \
Sello, Puesto abierto 3, Base de datos restituida, Puesto abierto 5, Programa iniciado, Puesto recuperado 2, \
Puesto recuperado 3, Puesto recuperado 5, Ingreso, Sello, Alquiler registrado 3, Puesto cerrado 3, \
Alquiler registrado 5, Puesto cerrado 5, Arqueo, Turno cerrado, Programa terminado"
[ "$journal" = "$expected" ] || fail "journal: $journal
expected:    $expected"
[ "$(sqlite3 "$db" "PRAGMA integrity_check")" = "ok" ] || fail "the file is damaged"
verified=$(env -u DISPLAY "$work/ludomat" --verify-journal --data-dir "$work") || fail "the journal does not verify: $verified"
case "$verified" in "journal ok: 32 entries, last hash "*"seal: owner's key "*", last seal at entry "*"books agree \
with the journal: 4 rentals"*) ;; *) fail "verification said: $verified" ;; esac

# Refused at start, said in a message, exit status 1, nothing made: the books given a second
# name (a hard link), and a folder that held books (its copies are there) without them.
refused_start() {
  "$@" &
  local refused=$! status=0
  box=$(wait_window '^Ludomat$') || { kill -9 $refused; fail "$* showed no message"; }
  keys "$box" Return
  for _ in $(seq 1 50); do kill -0 $refused 2>/dev/null || break; sleep 0.1; done
  kill -0 $refused 2>/dev/null && { kill -9 $refused; fail "$* kept running"; }
  wait "$refused" || status=$?
  [ "$status" = 1 ] || fail "$* ended with status $status"
}
ln "$db" "$work/second-name.mdb"
refused_start "$work/ludomat"
rm "$work/second-name.mdb"
mkdir "$work/missing"
cp -r "$work/copias" "$work/missing/"
refused_start "$work/inst/bin/ludomat" --data-dir "$work/missing"
[ ! -e "$work/missing/dbLudomat.mdb" ] || fail "new books were made where the books are missing"

# Midnight, on the real clock of the real program (faketime): one rental recorded before
# midnight, then a rental opened before it and closed after it, recorded on the day it is
# closed. Two records in one run: a date taken once and kept would show on the second.
night="$work/night"
mkdir "$night"
cp "$work/ludomat" "$work/queen.wav" "$night/"
cp "$work/copias/$(ls "$work/copias" | tail -n 1)" "$night/dbLudomat.mdb"
sqlite3 "$night/dbLudomat.mdb" "DELETE FROM Alquiler; DELETE FROM PuestosAbiertos"
today=$(date +%Y-%m-%d)
launched=$(date +%s)
# (faketime preloads its library: a sanitized build must let it come before its own runtime.)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" FAKETIME_DONT_FAKE_MONOTONIC=1 \
  faketime -f "@$today 23:59:35" "$night/ludomat" &
app=$!
usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed at midnight"
main=$(wait_window 'Ludomat para Cyber') || fail "the main window never showed at midnight"
# The rows emptied above by hand are missed from the journal, and said.
box=$(wait_window '^Ludomat$') || fail "the books emptied by hand were not told"
keys "$box" Return
keys "$usuario"
xdotool type --delay 50 clave-nueva
keys "$usuario" Return Return
wait_gone '^Usuario$' || fail "sign-in at midnight did not close the accounts window"
continue_shift # the copy was made with the shift open
keys "$main" alt+4 alt+1 alt+1
keys "$(wait_window '^Cerrar Puesto 1$')" Return
wait_gone '^Cerrar Puesto 1$' || fail "Enter did not collect station 1 before midnight"
opened=$(sqlite3 "$night/dbLudomat.mdb" "SELECT substr(Apertura, 1, 10) FROM PuestosAbiertos")
# The program's clock started at 23:59:35 no earlier than $launched: past midnight after 25 s.
while [ $(($(date +%s) - launched)) -lt 27 ]; do sleep 0.2; done
keys "$main" alt+4
keys "$(wait_window '^Cerrar Puesto 4$')" Return
wait_gone '^Cerrar Puesto 4$' || fail "Enter did not collect station 4 after midnight"
keys "$main" alt+s
count_drawer
for _ in $(seq 1 50); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
recorded=$(sqlite3 "$night/dbLudomat.mdb" "SELECT Puesto || ' ' || Fecha || ' ' || Hora FROM Alquiler ORDER BY rowid")
before=$(sed -n 1p <<<"$recorded")
after=$(sed -n 2p <<<"$recorded")
[ "${before% *}" = "1 $today" ] && [[ "${before##* }" > "23:59:34" ]] \
  && [ "${after% *}" = "4 $(date -d "$today + 1 day" +%Y-%m-%d)" ] && [[ "${after##* }" < "00:01:00" ]] \
  || fail "rentals recorded around midnight as:
$recorded
(station 4 opened on $opened UTC; station 1 should be on $today before midnight, station 4 on the next day)"

echo "end-to-end: 4 rentals recorded as expected, 2 of them across a SIGKILL; two around midnight"
