#!/usr/bin/env bash
# The release step: builds both architectures and writes one archive per
# architecture, ${RAVLIX_BUILD_DIR:-build}/dist/ravlix-<version>-<arch>.zip,
# with the DLLs, the skins folder, the header, the import libraries for
# MinGW (.dll.a) and Visual C++ (.lib) with the .def they come from, the
# sample host with its source, and USING.txt on how a host uses it.
# <version> is the commit the archives were built from (git describe).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/build.sh" all >/dev/null
version=$(git -C "$root" describe --always --dirty 2>/dev/null || echo unversioned)
dist=${RAVLIX_BUILD_DIR:-$root/build}/dist
mkdir -p "$dist"
for arch in x86 x64; do
  build=$(ravlix_build_dir "$arch")
  name=ravlix-$version-$arch
  stage=$dist/$name
  rm -rf "$stage" "$stage.zip"
  mkdir -p "$stage/include" "$stage/lib" "$stage/sample/source"
  cp "$build/bin/Ravlix.dll" "$build/bin/Facetta.dll" "$build/bin/Netquill.dll" "$build/bin/Ravlix936.dll" "$stage/"
  cp -r "$build/bin/skins" "$stage/skins"
  cp "$root/include/Ravlix.h" "$stage/include/"
  cp "$build/sdk/Ravlix.dll.a" "$build/sdk/Ravlix.lib" "$root/plugin/Ravlix.def" "$stage/lib/"
  cp "$build/bin/RavlixHost.exe" "$stage/sample/"
  cp "$root"/host/*.cpp "$root"/host/*.h "$root"/host/RavlixHost.rc "$root"/host/RavlixHost.manifest \
    "$stage/sample/source/"
  cp "$root/packaging/USING.txt" "$stage/"
  (cd "$dist" && zip -qr "$name.zip" "$name")
  rm -rf "$stage"
  echo "$dist/$name.zip"
done
