# Sourced by the project's scripts: where each architecture's build lives and
# what runs it. x86 is the 32-bit plug-in, x64 the 64-bit one.

# The architectures that a word names: x86, x64 or all (both, x86 first).
ravlix_arches() {
  case "$1" in
    x86|x64) echo "$1" ;;
    all) echo "x86 x64" ;;
    *) echo "unknown architecture '$1' (x86, x64 or all)" >&2; return 2 ;;
  esac
}

ravlix_build_dir() {
  echo "${RAVLIX_BUILD_DIR:-$root/build}/$1"
}

ravlix_toolchain() {
  case "$1" in
    x86) echo mingw-i686.cmake ;;
    x64) echo mingw-x86_64.cmake ;;
  esac
}

# Sets what session.sh and wine-env.sh need to run the build of one
# architecture: its own Wine prefix, 32-bit for x86 and 64-bit for x64 (which
# runs 32-bit programs too).
ravlix_use_arch() {
  export RAVLIX_WINEPREFIX="$(ravlix_build_dir "$1")/wineprefix"
  if [ "$1" = x64 ]; then export RAVLIX_WINEARCH=win64; else export RAVLIX_WINEARCH=win32; fi
}
