#!/usr/bin/env bash
# Time from starting a program to the X server mapping its "Usuario" window, under Xvfb: the real
# program (on a copy of its folder) against a bare Qt window (the floor), taken in turns so that
# both see the same machine. The moment of the map comes from the server's own event
# (bench/map_watch), not from polling, which would take the processor from the program it times.
# Median of N runs each.
set -euo pipefail
if [ "${1:-}" != "--inside" ]; then
  exec xvfb-run -a -s "-noreset -screen 0 1024x768x24" "$0" --inside "$@"
fi
build=$2
runs=${3:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/lib"
cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$build/share/ludomat/dbLudomat.mdb" "$work/bin/"
cp -r "$build/lib/ludomat" "$work/lib/" # the alarm's sound module, where the program looks for it
export QT_QPA_PLATFORM=xcb

# One start: microseconds from the start to the map.
once() {
  local start mapped pid
  exec {events}< <("$build/bench/map_watch" Usuario 20)
  read -r -u "$events" _ # listening
  start=$(date +%s%N)
  "$1" >>"$work/run.log" 2>&1 &
  pid=$!
  if ! read -r -u "$events" mapped; then
    echo "no window within 20 s from $1" >&2
    tail -n 5 "$work/run.log" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  kill "$pid"; wait "$pid" 2>/dev/null || true
  exec {events}<&-
  echo $(( mapped - start / 1000 ))
}

# The same program on a room of twenty stations of two console types, one with prices by the
# time of day, every station with a rental to bring back at the start.
mkdir -p "$work/room/bin" "$work/room/lib"
cp "$work/bin/"* "$work/room/bin/"
cp -r "$work/lib/ludomat" "$work/room/lib/"
{
  echo "BEGIN;"
  echo "INSERT INTO Consolas VALUES ('Consola', 1, NULL, NULL, 1, 0, 0), ('PS5', 2, 60, 30, 1, 10, 5);"
  echo "INSERT INTO Periodos VALUES ('PS5', 'Tarde', 31, 840, 1020, 25), ('PS5', 'Noche', 127, 1320, 120, 35);"
  for n in $(seq 1 20); do
    type=Consola; [ $((n % 2)) -eq 0 ] && type=PS5
    echo "INSERT INTO Puestos VALUES ($n, 'Puesto $n', '$type');"
    echo "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Consola, Mandos)" \
      "VALUES ($n, 'Contador', 'Admin', strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-$n minutes'), 30, 10, '$type', 1);"
  done
  echo "COMMIT;"
} | sqlite3 "$work/room/bin/dbLudomat.mdb"

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
program=() room=() floor=()
for _ in $(seq 1 "$runs"); do
  program+=("$(once "$work/bin/ludomat")")
  room+=("$(once "$work/room/bin/ludomat")")
  floor+=("$(once "$build/bench/bare_window")")
done
if [ "$(sqlite3 "$work/room/bin/dbLudomat.mdb" "SELECT COUNT(*) FROM PuestosAbiertos")" != 20 ]; then
  echo "the twenty stations were not kept open" >&2
  exit 1
fi
awk -v p="$(median "${program[@]}")" -v r="$(median "${room[@]}")" -v f="$(median "${floor[@]}")" 'BEGIN {
  printf "start-up to the accounts window: %.1f ms (bare Qt window: %.1f ms, ratio %.2f)\n", p/1000, f/1000, p/f
  printf "the same with twenty stations restored: %.1f ms (ratio %.2f)\n", r/1000, r/f }'
