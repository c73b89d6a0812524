#!/usr/bin/env bash
# Puts the plug-in beside a host's executable: scripts/install.sh DIR
# DIR receives Ravlix.dll, Facetta.dll, Netquill.dll, the language library
# Ravlix936.dll, the skins/ folder, the header include/Ravlix.h and the sample
# host RavlixHost.exe. Builds first; files already in DIR are replaced.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: scripts/install.sh DIR" >&2; exit 2; }
target=$1
"$root/scripts/build.sh" >/dev/null
bin=${RAVLIX_BUILD_DIR:-$root/build}/bin
mkdir -p "$target/include"
cp "$bin/Ravlix.dll" "$bin/Facetta.dll" "$bin/Netquill.dll" "$bin/Ravlix936.dll" "$bin/RavlixHost.exe" "$target/"
rm -rf "$target/skins"
cp -r "$bin/skins" "$target/skins"
cp "$root/include/Ravlix.h" "$target/include/"
echo "Installed into $target: Ravlix.dll Facetta.dll Netquill.dll Ravlix936.dll RavlixHost.exe skins/ include/Ravlix.h"
