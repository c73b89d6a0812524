# Sourced by the test launchers that run a program in a Wine prefix of its
# own (use_private_prefix in scripts/wine-env.sh). CTest hands them
#   cmake -E env RAVLIX_WINEARCH=... .../wine-run PREFIX PROGRAM [ARGS...]
# run_in_private_prefix NAME DPI FRESH COMMAND... runs that command with
# PREFIX replaced by the private prefix NAME (DPI empty: the display's
# setting stays) and returns its status. With FRESH "fresh" the prefix's
# wineserver is ended before and after, so that the command's starts anew on
# the current display and none is left behind on it.
run_in_private_prefix() {
  local name=$1 dpi=$2 fresh=$3
  shift 3
  local args=("$@") prefix_at="" i
  for i in "${!args[@]}"; do
    case "${args[$i]}" in
      RAVLIX_WINEARCH=*) export "${args[$i]}" ;;
      */wine-run) prefix_at=$((i + 1)); break ;;
    esac
  done
  [ -n "$prefix_at" ] || { echo "no wine-run in: $*" >&2; return 1; }
  (
    export RAVLIX_WINEPREFIX=${args[$prefix_at]}
    . "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
    use_private_prefix "$name" "$dpi" || exit 1
    args[$prefix_at]=$WINEPREFIX
    if [ "$fresh" = fresh ]; then
      wineserver -k 2>/dev/null
      wineserver -w
    fi
    "${args[@]}"
    status=$?
    if [ "$fresh" = fresh ]; then
      wineserver -k 2>/dev/null
      wineserver -w
    fi
    exit $status
  )
}
