#!/usr/bin/env bash
# Time from starting a program to its "Usuario" window being shown, under Xvfb: the real
# program (on a copy of its folder) against a bare Qt window (the floor). Median of N runs.
set -euo pipefail
if [ "${1:-}" != "--inside" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
fi
build=$2
runs=${3:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/ludomat" "$build/share/ludomat/queen.wav" "$work/"
cp "$build/share/ludomat/dbLudomat.mdb" "$work/dbLudomat.mdb"
export QT_QPA_PLATFORM=xcb

shown() { xdotool search --onlyvisible --name '^Usuario$' >/dev/null 2>&1; }

measure() {
  local program=$1 times=()
  for _ in $(seq 1 "$runs"); do
    local start end pid deadline
    while shown; do sleep 0.05; done # the previous run's window is gone
    start=$(date +%s%N)
    deadline=$(( start + 20000000000 ))
    "$program" >>"$work/run.log" 2>&1 &
    pid=$!
    until shown; do
      sleep 0.002
      if [ "$(date +%s%N)" -gt "$deadline" ]; then
        echo "no window within 20 s from $program" >&2
        tail -n 5 "$work/run.log" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
      fi
    done
    end=$(date +%s%N)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

program_us=$(measure "$work/ludomat")
floor_us=$(measure "$build/bench/bare_window")
awk -v p="$program_us" -v f="$floor_us" 'BEGIN {
  printf "start-up to the accounts window: %.1f ms (bare Qt window: %.1f ms, ratio %.2f)\n", p/1000, f/1000, p/f }'
