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
