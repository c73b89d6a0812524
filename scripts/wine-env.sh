# Sourced by the project's scripts: the Wine settings every run uses.
# The prefix is the project's own (never the user's ~/.wine), quiet; 32-bit unless
# RAVLIX_WINEARCH is win64 (the 64-bit build has a prefix of its own).
: "${RAVLIX_WINEPREFIX:?set RAVLIX_WINEPREFIX to the Wine prefix of the build}"
export WINEPREFIX="$RAVLIX_WINEPREFIX"
export WINEARCH=${RAVLIX_WINEARCH:-win32}
export WINEDEBUG=-all
# No Mono or Gecko install prompts on a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once; later calls return at once.
ensure_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    echo "Creating Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Switches WINEPREFIX to a prefix whose display is set to $1 dots per inch
# (Windows' LogPixels: 96 is 100 %, 192 is 200 %). It shares drive C: with
# the project's prefix but has a registry and so a wineserver of its own:
# nothing that runs in the project's prefix meanwhile changes scale. Made
# once beside the project's prefix, then reused.
use_scaled_prefix() {
  local dpi=$1 base=$WINEPREFIX
  local scaled=$base-dpi$dpi
  ensure_wine_prefix
  (
    flock 9
    [ -f "$scaled/user.reg" ] && exit 0
    rm -rf "$scaled.new"
    mkdir -p "$scaled.new/dosdevices"
    # The same update stamp, or Wine would update the shared drive C: again.
    cp "$base/system.reg" "$base/user.reg" "$base/userdef.reg" "$base/.update-timestamp" "$scaled.new/"
    ln -s "$base/drive_c" "$scaled.new/drive_c"
    ln -s ../drive_c "$scaled.new/dosdevices/c:"
    ln -s / "$scaled.new/dosdevices/z:"
    WINEPREFIX=$scaled.new wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
      >/dev/null 2>&1
    # The registry is written when its wineserver ends.
    WINEPREFIX=$scaled.new wineserver -k 2>/dev/null || true
    WINEPREFIX=$scaled.new wineserver -w || true
    grep -qi '"LogPixels"=dword' "$scaled.new/user.reg" && mv "$scaled.new" "$scaled"
  ) 9>"$base.dpi-lock"
  [ -f "$scaled/user.reg" ] || { echo "could not make a prefix at $dpi DPI" >&2; return 1; }
  export WINEPREFIX=$scaled
}
