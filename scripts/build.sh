#!/usr/bin/env bash
# Installs what is missing, then configures and builds the plug-in for both
# architectures from the same sources: the 32-bit one into
# ${RAVLIX_BUILD_DIR:-build}/x86, the 64-bit one into ${RAVLIX_BUILD_DIR:-build}/x64.
#   scripts/build.sh [--product] [x86|x64|all]   (all when not given)
# With --product only what a host uses is built (the three DLLs, the
# language library, the skins and the sample host), not GoogleTest, the
# tests and the benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
. "$root/scripts/step.sh"
target=()
if [ "${1:-}" = --product ]; then target=(--target RavlixProduct); shift; fi
arches=$(ravlix_arches "${1:-all}")
"$root/scripts/install-deps.sh"
for arch in $arches; do
  build=$(ravlix_build_dir "$arch")
  ravlix_step "configuring the $arch build in $build" \
    cmake --no-warn-unused-cli -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$(ravlix_toolchain "$arch")"
  ravlix_step_shown "building the $arch build in $build" \
    cmake --build "$build" -j"$(nproc)" "${target[@]}"
done
