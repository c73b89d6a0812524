#!/usr/bin/env bash
# CTest's launcher for the cases that run on a display of another scale: with
# RAVLIX_TEST_DPI set, the test program runs in a Wine prefix whose display
# has that many dots per inch (use_scaled_prefix in scripts/wine-env.sh);
# without it, and for the listing of the cases, as any other test.
#   at-dpi.sh cmake -E env RAVLIX_WINEARCH=... .../wine-run PREFIX PROGRAM [ARGS...]
set -u
[ -n "${RAVLIX_TEST_DPI:-}" ] || exec "$@"
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
args=("$@")
prefix_at=""
for i in "${!args[@]}"; do
  case "${args[$i]}" in
    RAVLIX_WINEARCH=*) export "${args[$i]}" ;;
    */wine-run) prefix_at=$((i + 1)); break ;;
  esac
done
[ -n "$prefix_at" ] || { echo "at-dpi.sh: no wine-run in: $*" >&2; exit 1; }
export RAVLIX_WINEPREFIX=${args[$prefix_at]}
. "$(dirname "$0")/../../scripts/wine-env.sh"
use_scaled_prefix "$RAVLIX_TEST_DPI" || exit 1
args[$prefix_at]=$WINEPREFIX
exec "${args[@]}"
