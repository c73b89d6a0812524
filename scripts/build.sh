#!/usr/bin/env bash
# Installs what is missing, then configures and builds the plug-in for both
# architectures from the same sources: the 32-bit one into
# ${RAVLIX_BUILD_DIR:-build}/x86, the 64-bit one into ${RAVLIX_BUILD_DIR:-build}/x64.
#   scripts/build.sh [x86|x64|all]   (all when not given)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
arches=$(ravlix_arches "${1:-all}")
"$root/scripts/install-deps.sh"
for arch in $arches; do
  build=$(ravlix_build_dir "$arch")
  cmake --no-warn-unused-cli -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$(ravlix_toolchain "$arch")" >/dev/null
  cmake --build "$build" -j"$(nproc)"
done
