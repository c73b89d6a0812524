# Sourced by the project's scripts: the Wine settings every run uses.
# The prefix is the project's own (never the user's ~/.wine), quiet; 32-bit unless
# RAVLIX_WINEARCH is win64 (the 64-bit build has a prefix of its own).
: "${RAVLIX_WINEPREFIX:?set RAVLIX_WINEPREFIX to the Wine prefix of the build}"
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
. "$(dirname "${BASH_SOURCE[0]}")/step.sh"
export WINEPREFIX="$RAVLIX_WINEPREFIX"
export WINEARCH=${RAVLIX_WINEARCH:-win32}
export WINEDEBUG=-all
# No Mono or Gecko install prompts on a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The loader of the prefix's architecture, for the scripts' `wine` and
# `wineboot` below and for every process Wine starts.
WINELOADER=$(ravlix_wine_loader "$WINEARCH")
export WINELOADER
ravlix_find_32bit

# These two stand for Debian's commands of the same names in every script
# that sources this file: they start the loader chosen above, never the
# wrapper's choice.
wine() { "$WINELOADER" "$@"; }
wineboot() { wine wineboot.exe "$@"; }

# Creates the prefix once; later calls return at once. A prefix that cannot
# be made is an error that says why.
ensure_wine_prefix() {
  [ ! -f "$WINEPREFIX/system.reg" ] || return 0
  if [ "$WINEARCH" = win32 ] && [ "$RAVLIX_RUNS_32BIT" = no ]; then
    echo "FAILED: making the 32-bit Wine prefix $WINEPREFIX: $RAVLIX_NO_32BIT_REASON" >&2
    return 1
  fi
  echo "Creating Wine prefix $WINEPREFIX"
  local what="making the Wine prefix $WINEPREFIX with $WINELOADER"
  ravlix_step "$what" mkdir -p "$(dirname "$WINEPREFIX")" || return
  ravlix_step "$what" wineboot -i || return
  wineserver -w
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "FAILED: making the Wine prefix $WINEPREFIX: wineboot -i ended without writing its registry" >&2
    return 1
  fi
}

# Switches WINEPREFIX to a prefix of its own beside the project's, named by
# $1: it shares drive C: with the project's prefix but has a registry and so
# a wineserver of its own, which reads the display it starts on (its
# monitors) and, with $2, a display setting of $2 dots per inch (Windows'
# LogPixels: 96 is 100 %, 192 is 200 %). Nothing that runs in the project's
# prefix meanwhile sees either. Made once, then reused.
use_private_prefix() {
  local name=$1 dpi=${2:-} base=$WINEPREFIX
  local private=$base-$name
  ensure_wine_prefix
  (
    flock 9
    [ -f "$private/user.reg" ] && exit 0
    rm -rf "$private.new"
    mkdir -p "$private.new/dosdevices"
    # The same update stamp, or Wine would update the shared drive C: again.
    cp "$base/system.reg" "$base/user.reg" "$base/userdef.reg" "$base/.update-timestamp" "$private.new/"
    ln -s "$base/drive_c" "$private.new/drive_c"
    ln -s ../drive_c "$private.new/dosdevices/c:"
    ln -s / "$private.new/dosdevices/z:"
    # Its displays run no window manager: Wine places the windows itself.
    WINEPREFIX=$private.new ravlix_step "setting up the Wine prefix $private" \
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || exit 1
    [ -z "$dpi" ] || WINEPREFIX=$private.new ravlix_step "setting up the Wine prefix $private" \
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f || exit 1
    # The registry is written when its wineserver ends.
    WINEPREFIX=$private.new wineserver -k 2>/dev/null || true
    WINEPREFIX=$private.new wineserver -w || true
    grep -q '"Managed"="N"' "$private.new/user.reg" || exit 1
    [ -z "$dpi" ] || grep -qi '"LogPixels"=dword' "$private.new/user.reg" || exit 1
    mv "$private.new" "$private"
  ) 9>"$base.private-lock"
  [ -f "$private/user.reg" ] || { echo "FAILED: making the Wine prefix $private (its registry lacks the settings above)" >&2; return 1; }
  export WINEPREFIX=$private
}
