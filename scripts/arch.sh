# Sourced by the project's scripts: where each architecture's build lives and
# what runs it. x86 is the 32-bit plug-in, x64 the 64-bit one.
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"

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

# The architecture whose host the main job runs when ARCH is asked for: the
# one asked for, except that a machine that runs no 32-bit programs runs the
# 64-bit host instead, with a line on standard error that says so.
ravlix_main_job_arch() {
  ravlix_find_32bit
  if [ "$1" = x86 ] && [ "$RAVLIX_RUNS_32BIT" = no ]; then
    echo "$RAVLIX_NO_32BIT_REASON; running the 64-bit host" >&2
    echo x64
  else
    echo "$1"
  fi
}
