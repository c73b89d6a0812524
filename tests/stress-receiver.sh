#!/usr/bin/env bash
# Repeats the segment receiver's tests many times: racing deliveries that must
# announce once, and deliveries that keep coming while a task stops and its
# file is unmapped. Usage: tests/stress-receiver.sh [ROUNDS] (default 50)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
build=${RAVLIX_BUILD_DIR:-$root/build}
export RAVLIX_WINEPREFIX="$build/wineprefix"
. "$root/scripts/session.sh"
start_session
wine "$build/bin/TransferTests.exe" --gtest_filter='Receiver*' --gtest_repeat="${1:-50}" --gtest_brief=1
