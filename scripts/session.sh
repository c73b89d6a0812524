# Sourced by the project's scripts: what a run under Wine needs around it.
# Starts a virtual display when none is set and keeps one wineserver alive
# for the whole run, so that each Windows process starts in a fraction of a
# second. Everything started here is stopped on exit.
# Needs RAVLIX_WINEPREFIX; sources wine-env.sh.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

session_pids=()
session_own_display=0

stop_session() {
  wineserver -k >/dev/null 2>&1 || true
  for pid in "${session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}

start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return
  fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  local log=${TMPDIR:-/tmp}/ravlix-xvfb-$n.log
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$log" 2>&1 &
  session_pids+=($!)
  session_own_display=1
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && return
    sleep 0.1
  done
  ravlix_step_failed "starting a virtual display" "no answer on $DISPLAY within 5 s" "$log" \
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp
  return 1
}

# wineserver -p gives 2, saying nothing, while a wineserver of the prefix
# still runs: one that a run just ended keeps for a few seconds, or one a
# killed run left. That one is ended and the session's own started; -k
# gives 1 when the other ended by itself meanwhile, which is no failure.
# Any other failure is reported by the last start.
start_persistent_wineserver() {
  local status=0 ended=0
  wineserver -p || status=$?
  [ "$status" -ne 0 ] || return 0
  if [ "$status" -eq 2 ]; then
    wineserver -k || ended=$?
    if [ "$ended" -gt 1 ]; then
      echo "FAILED: ending the wineserver that still runs in $WINEPREFIX (wineserver -k, status $ended)" >&2
      return 1
    fi
    wineserver -w
  fi
  ravlix_step "starting the wineserver of $WINEPREFIX" wineserver -p
}

start_session() {
  trap stop_session EXIT
  start_display
  ensure_wine_prefix
  start_persistent_wineserver
  # The first Windows process starts Wine's background services, which keep
  # the standard handles they inherit: let them inherit nothing a test reads.
  ravlix_step "starting Wine's services in $WINEPREFIX" wineboot
  # Wine hands its windows to the window manager and, on hiding one, waits
  # up to two seconds for the manager to confirm. Our own display runs no
  # manager, so there Wine places the windows itself.
  local key='HKCU\Software\Wine\X11 Driver'
  if [ "$session_own_display" = 1 ]; then
    ravlix_step "setting up $WINEPREFIX for a display without a window manager" \
      wine reg add "$key" /v Managed /d N /f
  else
    # Fails, rightly, when the value is not there.
    wine reg delete "$key" /v Managed /f >/dev/null 2>&1 </dev/null || true
  fi
}
