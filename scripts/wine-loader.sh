# Sourced by the project's scripts: the one place that decides which Wine
# loader runs a program, and whether this machine runs 32-bit programs.
#
# Debian's `wine` wrapper starts the 32-bit loader whenever wine32 is
# installed, even for a 64-bit prefix, and `wineboot` goes through it too. On
# a machine that runs no 32-bit code (IA-32 emulation off) nothing of Wine
# would start. So the scripts never go through the wrapper: a 64-bit prefix
# runs through the 64-bit loader directly, a 32-bit prefix through the 32-bit
# one. A 64-bit prefix still runs 32-bit programs where the machine does:
# Wine finds the 32-bit loader beside the 64-bit one.
#
# The loaders' places are those of Debian's wine32 and wine64 packages; the
# tests of this choice put stand-ins there through these two variables.
: "${RAVLIX_WINE32_LOADER:=/usr/lib/wine/wine}"
: "${RAVLIX_WINE64_LOADER:=/usr/lib/wine/wine64}"
export RAVLIX_WINE32_LOADER RAVLIX_WINE64_LOADER

# The loader of a prefix's architecture: ravlix_wine_loader win32|win64
ravlix_wine_loader() {
  case "$1" in
    win64) echo "$RAVLIX_WINE64_LOADER" ;;
    win32) echo "$RAVLIX_WINE32_LOADER" ;;
    *) echo "unknown Wine architecture '$1' (win32 or win64)" >&2; return 2 ;;
  esac
}

# Whether this machine runs 32-bit programs, found out once by starting the
# 32-bit loader (not by reading the kernel's settings: whatever the reason,
# what counts is whether the loader starts). The finding is exported for
# every script and program started from here, which then ask no more:
# RAVLIX_RUNS_32BIT is yes or no, and with no, RAVLIX_NO_32BIT_REASON says
# why (the tests of the 64-bit build read it to skip what needs a 32-bit
# program).
ravlix_find_32bit() {
  [ -z "${RAVLIX_RUNS_32BIT:-}" ] || return 0
  local said status=0
  said=$("$RAVLIX_WINE32_LOADER" --version 2>&1 </dev/null) || status=$?
  if [ "$status" -eq 0 ]; then
    export RAVLIX_RUNS_32BIT=yes RAVLIX_NO_32BIT_REASON=""
    return
  fi
  export RAVLIX_RUNS_32BIT=no
  local last
  last=$(printf '%s\n' "$said" | tail -n 1)
  if [ ! -e "$RAVLIX_WINE32_LOADER" ]; then
    RAVLIX_NO_32BIT_REASON="the 32-bit Wine loader $RAVLIX_WINE32_LOADER is missing"
  elif [ "$status" -eq 126 ] || [[ "$said" == *"Exec format error"* ]]; then
    RAVLIX_NO_32BIT_REASON="this machine runs no 32-bit programs ($RAVLIX_WINE32_LOADER: Exec format error)"
  else
    RAVLIX_NO_32BIT_REASON="the 32-bit Wine loader $RAVLIX_WINE32_LOADER failed with status $status: $last"
  fi
  export RAVLIX_NO_32BIT_REASON
}

# The finding in one line, on standard error: what a command says once, at its start.
ravlix_say_32bit() {
  ravlix_find_32bit
  if [ "$RAVLIX_RUNS_32BIT" = yes ]; then
    echo "Wine: this machine runs 32-bit programs ($RAVLIX_WINE32_LOADER started)" >&2
  else
    echo "Wine: $RAVLIX_NO_32BIT_REASON" >&2
  fi
}
