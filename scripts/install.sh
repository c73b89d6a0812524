#!/usr/bin/env bash
# Puts the plug-in beside a host's executable: scripts/install.sh DIR [x86|x64]
# DIR receives Ravlix.dll, Facetta.dll, Netquill.dll, the language library
# Ravlix936.dll, the skins/ folder, the header include/Ravlix.h and the sample
# host RavlixHost.exe, of the 32-bit build (x86, the default) or the 64-bit
# one (x64): a host loads the DLLs of its own architecture. Builds first;
# files already in DIR are replaced.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: scripts/install.sh DIR [x86|x64]" >&2; exit 2; }
target=$1
arch=${2:-x86}
case "$arch" in x86|x64) ;; *) echo "usage: scripts/install.sh DIR [x86|x64]" >&2; exit 2 ;; esac
"$root/scripts/build.sh" --product "$arch" >/dev/null
bin=$(ravlix_build_dir "$arch")/bin
mkdir -p "$target/include"
cp "$bin/Ravlix.dll" "$bin/Facetta.dll" "$bin/Netquill.dll" "$bin/Ravlix936.dll" "$bin/RavlixHost.exe" "$target/"
rm -rf "$target/skins"
cp -r "$bin/skins" "$target/skins"
cp "$root/include/Ravlix.h" "$target/include/"
echo "Installed the $arch build into $target: Ravlix.dll Facetta.dll Netquill.dll Ravlix936.dll RavlixHost.exe skins/ include/Ravlix.h"
