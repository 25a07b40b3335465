# Shared by the scripts that drive the real program under Xvfb: sourced, never run.

# Says what went wrong, which windows were on the screen then and what became of the program
# (in $app, when the script keeps it there).
fail() {
  echo "FAIL: $*" >&2
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null || true); do
    echo "  window $w: $(xdotool getwindowname "$w" 2>/dev/null || true)" >&2
  done
  if [ -n "${app:-}" ]; then
    if kill -0 "$app" 2>/dev/null; then
      echo "  the program (process $app) is still running: $(tr '\0' ' ' </proc/"$app"/cmdline 2>/dev/null)" >&2
      grep -E '^(State|Threads)' /proc/"$app"/status >&2 2>/dev/null || true
      # Where each of its threads waits in the kernel, and its windows, mapped or not.
      for t in /proc/"$app"/task/*; do
        echo "  thread $(cat "$t/comm" 2>/dev/null): waits in $(cat "$t/wchan" 2>/dev/null)" >&2
      done
      xwininfo -root -tree 2>/dev/null | grep -E '"(Usuario|Ludomat|Zidorodiz)' | sed 's/^ */  x window /' >&2 || true
    else
      local status=0
      wait "$app" 2>/dev/null || status=$?
      echo "  the program (process $app) had ended with status $status" >&2
    fi
  fi
  echo "  display $DISPLAY; window manager $([ -n "${wm:-}" ] && kill -0 "$wm" 2>/dev/null && echo running || echo "not running")" >&2
  exit 1
}

# A real window manager, as on the shop's desktop: it decides which window gets the focus.
start_window_manager() {
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 1 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm" 2>/dev/null || fail "the window manager ended at its start"
    sleep 0.1
  done
  fail "the window manager did not start within 30 s"
}

# Waits for a window whose title matches; prints its id. Generous: a loaded machine starts slowly,
# and the first window waits for the start's journal entry to reach the disk, which a machine busy
# writing (a build beside the tests) can hold for many seconds.
wait_window() {
  local pattern=$1 id=""
  for _ in $(seq 1 900); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

wait_gone() {
  local pattern=$1
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

keys() {
  local window=$1; shift
  xdotool windowfocus --sync "$window"
  sleep 0.2
  for k in "$@"; do
    xdotool key --clearmodifiers "$k"
    sleep 0.25
  done
}

# Waits for the process to end; false when it is still there after 5 s.
wait_exit() {
  for _ in $(seq 1 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

# Until the window with this id is no longer shown (another of the same caption may follow it).
wait_closed() {
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.1
  done
  return 1
}

# The float a sign-in asks for, taken as offered with Enter.
accept_float() {
  local fondo
  fondo=$(wait_window '^Fondo de caja$') || fail "the sign-in did not ask for the float"
  keys "$fondo" Return
  wait_gone '^Fondo de caja$' || fail "Enter did not open the shift"
}

# The count a sign-out asks for: Enter stores it as typed (nothing counted), Enter goes on.
count_drawer() {
  local arqueo
  arqueo=$(wait_window '^Arqueo de caja$') || fail "the sign-out did not ask for the count"
  keys "$arqueo" Return
  sleep 0.3
  keys "$arqueo" Return
}

# A shift left open by the same operator is found after the sign-in: Enter goes on with it.
continue_shift() {
  local box
  box=$(wait_window '^Ludomat$') || fail "the shift left open was not found"
  keys "$box" Return
  wait_closed "$box" || fail "Enter did not go on with the shift"
}
