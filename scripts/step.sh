# Sourced by the project's scripts: a step of setting up (installing,
# building, making a prefix, starting a server) that never fails silently.
#
#   ravlix_step WHAT COMMAND...        COMMAND's output goes to a log only
#   ravlix_step_shown WHAT COMMAND...  COMMAND's output is shown as it comes too
#
# When COMMAND fails, the step says on standard error what failed (WHAT), the
# command, its status and the last lines of its own output, and returns the
# command's status; the caller exits with it.
ravlix_step_lines=${RAVLIX_STEP_LINES:-25}

ravlix_step() { ravlix_run_step "" "$@"; }
ravlix_step_shown() { ravlix_run_step shown "$@"; }

ravlix_run_step() {
  local shown=$1 what=$2 log status=0
  shift 2
  log=$(mktemp)
  if [ -n "$shown" ]; then
    { "$@" </dev/null 2>&1 || status=$?; echo "$status" >"$log.status"; } | tee "$log"
    status=$(cat "$log.status")
    rm -f "$log.status"
  else
    "$@" >"$log" 2>&1 </dev/null || status=$?
  fi
  [ "$status" -eq 0 ] || ravlix_step_failed "$what" "$status" "$log" "$@"
  rm -f "$log"
  return "$status"
}

ravlix_step_failed() {
  local what=$1 status=$2 log=$3
  shift 3
  {
    echo "FAILED: $what"
    echo "  command: $*"
    echo "  status:  $status"
    if [ -s "$log" ]; then
      echo "  its last lines:"
      tail -n "$ravlix_step_lines" "$log" | sed 's/^/    /'
    else
      echo "  it printed nothing"
    fi
  } >&2
}
