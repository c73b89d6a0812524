#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, then runs every
# test under Wine (with a virtual display when none is set) through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build=${RAVLIX_BUILD_DIR:-$root/build}
export RAVLIX_WINEPREFIX="$build/wineprefix"
# The https peers' authority must be in the trust store before the wineserver starts.
bash "$root/tests/peers/tls-certs.sh" authority "$build/peers/tls"
. "$root/scripts/session.sh"
start_session
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
