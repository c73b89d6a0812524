#!/usr/bin/env bash
# CTest's launcher for the cases that need RAVLIX_TEST_SCREENS (1 or 2)
# monitors of 800 x 600 side by side, the second right of the first: a
# display server of their own (Xorg's dummy driver, one output per monitor)
# and a Wine prefix of their own, whose wineserver starts with the test and
# so sees exactly those monitors (a running wineserver keeps the monitors it
# found). Both end with the test. Without Xorg's dummy driver, or not as
# root, the case is skipped (exit status 77).
set -u
[ -n "${RAVLIX_TEST_SCREENS:-}" ] || exec "$@"
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
xorg=/usr/lib/xorg/Xorg
if [ ! -x "$xorg" ] || [ ! -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] || [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: no Xorg with the dummy driver that can run here" >&2
  exit 77
fi
dir=$(mktemp -d)
server=""
trap '[ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }; rm -rf "$dir"' EXIT

# The outputs DUMMY0 and DUMMY1 of one X screen wide enough for both; the
# second is switched on only for two monitors.
mode='Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync'
second=false
[ "$RAVLIX_TEST_SCREENS" = 2 ] && second=true
cat >"$dir/xorg.conf" <<CONF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "AutoBindGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 16384
  Option "Monitor-DUMMY0" "first"
  Option "Monitor-DUMMY1" "second"
EndSection
Section "Monitor"
  Identifier "first"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  $mode
EndSection
Section "Monitor"
  Identifier "second"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  $mode
  Option "PreferredMode" "800x600"
  Option "Enable" "$second"
  Option "Position" "800 0"
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "first"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1600 600
  EndSubSection
EndSection
CONF

for _ in 1 2 3 4 5; do
  display=$((200 + RANDOM % 300))
  [ -e "/tmp/.X$display-lock" ] && continue
  setsid "$xorg" ":$display" -config "$dir/xorg.conf" -logfile "$dir/xorg.log" -noreset -nolisten tcp \
    -novtswitch -sharevts </dev/null >"$dir/xorg.out" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    DISPLAY=:$display xdpyinfo >/dev/null 2>&1 && break 2
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  server=""
done
[ -n "$server" ] || { echo "no display server of two screens could start:" >&2; cat "$dir/xorg.out" >&2; exit 1; }
export DISPLAY=:$display

. "$(dirname "$0")/private-prefix.sh"
run_in_private_prefix screens "" fresh "$@"
