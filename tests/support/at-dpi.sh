#!/usr/bin/env bash
# CTest's launcher for the cases that run on a display of another scale: with
# RAVLIX_TEST_DPI set, the test program runs in a Wine prefix whose display
# has that many dots per inch; without it, and for the listing of the cases,
# as any other test.
set -u
[ -n "${RAVLIX_TEST_DPI:-}" ] || exec "$@"
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
. "$(dirname "$0")/private-prefix.sh"
run_in_private_prefix "dpi$RAVLIX_TEST_DPI" "$RAVLIX_TEST_DPI" shared "$@"
