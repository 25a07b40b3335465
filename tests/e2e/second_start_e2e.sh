#!/usr/bin/env bash
# A second start on the same books, under Xvfb with openbox: the program already open comes to
# the front with whichever of its windows takes input (the accounts window before a sign-in, the
# cash close while it is open, else the main window), restored when it was minimised or covered,
# and the second start ends quietly with status 0; reached through the same folder and through a
# symlink in another folder alike, and after the books were put back under the same path. Only a
# running program that does not answer gets the message.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  build=$(cd "$1" && pwd)
  for f in bin/ludomat share/ludomat/dbLudomat.mdb share/ludomat/queen.wav; do
    [ -e "$build/$f" ] || { echo "missing $f beside the executable in $build"; exit 1; }
  done
  for tool in xvfb-run xdotool xprop xmessage openbox; do
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
unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb

. "$(dirname "$0")/x11.sh"
start_window_manager

state() { xprop -id "$1" WM_STATE | sed -n 's/.*window state: //p'; }

# Waits for the window to be the active one and shown (not iconic).
wait_active() {
  for _ in $(seq 1 50); do
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] && [ "$(state "$1")" = Normal ] && return 0
    sleep 0.1
  done
  return 1
}

# Starts a second copy, which must end by itself with status 0 and show nothing.
second_start() {
  local copy=$1 status=0
  timeout 20 "$copy" >"$work/second.log" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "the second start of $copy ended with $status: $(cat "$work/second.log")"
  xdotool search --onlyvisible --name '^Ludomat$' >/dev/null 2>&1 && fail "the second start of $copy left a message"
  return 0
}

# A window of another program, activated above the shop's; each its own title, so the one
# activated is the one just made.
cover() {
  local title="tapa-${#covers[@]}" id
  xmessage -title "$title" -geometry 1000x700+0+0 tapa >/dev/null 2>&1 &
  covers+=($!)
  id=$(wait_window "^$title\$") || fail "no covering window"
  xdotool windowactivate --sync "$id"
  wait_active "$id" || fail "the covering window did not take the focus"
}

covers=()
"$work/ludomat" &
app=$!
trap 'kill $app $wm ${covers[@]+"${covers[@]}"} 2>/dev/null || true' EXIT

usuario=$(wait_window '^Usuario$') || fail "the accounts window never showed"
main=$(wait_window 'Ludomat para Cyber') || fail "the main window never showed"
mkdir "$work/other"
cp "$work/ludomat" "$work/queen.wav" "$work/other/"
ln -s "$work/dbLudomat.mdb" "$work/other/dbLudomat.mdb"

# Before a sign-in: the accounts window, covered by another program, comes back active; and
# again when the second start goes through the symlink in another folder.
for copy in "$work/ludomat" "$work/other/ludomat"; do
  cover
  second_start "$copy"
  wait_active "$usuario" || fail "after a second start of $copy the accounts window is not the active one"
done

# Signed in, the main window minimised: it comes back, active.
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
xdotool windowminimize "$main"
for _ in $(seq 1 50); do [ "$(state "$main")" = Iconic ] && break; sleep 0.1; done
[ "$(state "$main")" = Iconic ] || fail "the main window could not be minimised"
second_start "$work/ludomat"
wait_active "$main" || fail "after a second start the minimised main window is not back and active"

# The cash close open and covered: it is the one that comes to the front.
keys "$main" alt+c
caja=$(wait_window '^Cierre de Caja$') || fail "the cash close never showed"
cover
second_start "$work/other/ludomat"
wait_active "$caja" || fail "after a second start the cash close is not the active window"

# The books removed under the program are put back, a new file under the same path: a second
# start still finds the program.
rm "$work/dbLudomat.mdb"
box=$(wait_window '^Ludomat$') || fail "no message said the removed books were put back"
keys "$box" Return
[ -e "$work/dbLudomat.mdb" ] || fail "the removed books were not put back"
cover
second_start "$work/ludomat"
wait_active "$caja" || fail "after the books were put back a second start did not bring the cash close"

# A running program that does not answer (stopped): the second start says that one runs, and
# ends with 1 once the message is read.
kill -STOP $app
"$work/ludomat" >/dev/null 2>&1 &
second=$!
box=$(wait_window '^Ludomat$') || fail "a second start beside a stopped program showed no message"
keys "$box" Return
status=0
wait $second || status=$?
[ "$status" = 1 ] || fail "a second start beside a stopped program ended with $status"
kill -CONT $app

keys "$caja" alt+s
wait_gone '^Cierre de Caja$' || fail "the cash close did not close"
keys "$main" alt+s
count_drawer
for _ in $(seq 1 50); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "the program did not end on Salir"
echo "second start: the running program came to the front six times; a stopped one was reported"
