#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the host with the
# plug-in under Wine. Usage: scripts/run.sh [URL]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build=${RAVLIX_BUILD_DIR:-$root/build}
export RAVLIX_WINEPREFIX="$build/wineprefix"
. "$root/scripts/session.sh"
start_session
url=${1:-http://127.0.0.1:8080/sample.bin}
wine "$build/bin/RavlixHost.exe" "$url"
