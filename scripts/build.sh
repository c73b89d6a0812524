#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into
# ${RAVLIX_BUILD_DIR:-build}.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${RAVLIX_BUILD_DIR:-$root/build}
cmake --no-warn-unused-cli -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
