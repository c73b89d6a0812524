#!/usr/bin/env bash
# Repeats the segment receiver's tests many times: racing deliveries that must
# announce once, and deliveries that keep coming while a task stops and its
# file is unmapped. Usage: tests/stress-receiver.sh [ROUNDS] (default 50);
# RAVLIX_ARCH=x64 runs the 64-bit build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
arch=${RAVLIX_ARCH:-x86}
"$root/scripts/build.sh" "$arch" >/dev/null
build=$(ravlix_build_dir "$arch")
ravlix_use_arch "$arch"
. "$root/scripts/session.sh"
start_session
wine "$build/bin/TransferTests.exe" --gtest_filter='Receiver*' --gtest_repeat="${1:-50}" --gtest_brief=1
