#!/usr/bin/env bash
# Time from a click on the main window's "&Salir" to the end of the process, under Xvfb and
# openbox: the real program (on a copy of its folder), signed in, one rental recorded. Median of N
# runs, on this machine's disk and on a disk whose every flush takes SLOW_SYNC_MS (100 unless
# told) through build/bench/libslow_sync.so. After each end another process (sqlite3) reads the
# end's journal entry in the file.
set -euo pipefail
if [ "${1:-}" != "--inside" ]; then
  exec xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$0" --inside "$@"
fi
build=$2
runs=${3:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"; kill $wm 2>/dev/null || true' EXIT
cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$work/"
cp "$build/share/ludomat/dbLudomat.mdb" "$work/dbLudomat.mdb"
export QT_QPA_PLATFORM=xcb
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

wait_window() {
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window $1" >&2
  exit 1
}
keys() {
  local window=$1; shift
  xdotool windowfocus --sync "$window"
  sleep 0.2
  for k in "$@"; do xdotool key --clearmodifiers "$k"; sleep 0.25; done
}

password=admin
one_exit() { # prints the microseconds from the click to the end
  "$@" "$work/ludomat" >>"$work/run.log" 2>&1 &
  local pid=$! usuario main start end
  usuario=$(wait_window '^Usuario$')
  main=$(wait_window 'Ludomat para Cyber')
  # Signed in once the accounts window goes; keys lost on a busy machine are typed again.
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$usuario"
    xdotool type --delay 30 "$password"
    keys "$usuario" Return Return
    sleep 1
    local said
    said=$(xdotool search --onlyvisible --name '^Ludomat$' 2>/dev/null | head -n 1 || true)
    [ -z "$said" ] && break
    keys "$said" Return
  done
  if [ "$password" = admin ]; then # the first sign-in replaces the delivered password
    local dialog
    dialog=$(wait_window '^Cambiar Contrase')
    keys "$dialog"; xdotool type --delay 30 clave-nueva
    keys "$dialog" Tab; xdotool type --delay 30 clave-nueva
    keys "$dialog" Return
    password=clave-nueva
  fi
  keys "$main" alt+1 alt+1 # one rental, recorded at its checkout
  keys "$(wait_window '^Cerrar Puesto 1$')" Return
  sleep 2 # the start-up copy and journal check are long done
  xdotool mousemove --window "$main" 500 324 # "&Salir"
  start=$(date +%s%N)
  xdotool click 1
  while kill -0 "$pid" 2>/dev/null; do sleep 0.002; done
  end=$(date +%s%N)
  wait "$pid" 2>/dev/null || true
  # Nothing lost for the speed: another process reads the end's entry in the file, no -wal beside it.
  local last
  last=$(sqlite3 "$work/dbLudomat.mdb" "SELECT Evento FROM Registro ORDER BY Secuencia DESC LIMIT 1")
  [ "$last" = "Programa terminado" ] || { echo "the last journal entry reads: $last" >&2; exit 1; }
  [ ! -e "$work/dbLudomat.mdb-wal" ] || { echo "a -wal was left beside the books" >&2; exit 1; }
  echo $(( (end - start) / 1000 ))
}

median() {
  local times=()
  for _ in $(seq 1 "$runs"); do times+=("$(one_exit "$@")"); done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

[ -e "$build/bench/libslow_sync.so" ] || { echo "no $build/bench/libslow_sync.so: build the target slow_sync" >&2; exit 1; }
one_exit >/dev/null # the first start replaces the delivered password
here_us=$(median env)
slow_us=$(median env LD_PRELOAD="$build/bench/libslow_sync.so" SLOW_SYNC_MS="${SLOW_SYNC_MS:-100}")
awk -v h="$here_us" -v s="$slow_us" -v ms="${SLOW_SYNC_MS:-100}" 'BEGIN {
  printf "from a click on Salir to the end: %.0f ms on this disk, %.0f ms with %d ms flushes\n", h/1000, s/1000, ms }'
