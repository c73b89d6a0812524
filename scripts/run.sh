#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the plug-in in its
# host under Wine (on the user's display, else on a virtual one).
#   scripts/run.sh        the demo: a local nginx serves a generated sample
#                         file, the host fetches it over 5 connections and
#                         the copy's SHA-256 is checked against the source's
#   scripts/run.sh URL    the host fetches URL instead
#   --x64                 (first argument) runs the 64-bit host with the
#                         64-bit plug-in instead of the 32-bit ones; a
#                         machine that runs no 32-bit programs runs them
#                         without it too, and says so
#   --dpi N               (before the URL) a display of N dots per inch
#                         (192 is 200 %), in a Wine prefix of its own
# Either way a screenshot of the floating window is taken while the download
# runs, and a summary says where the file and the picture are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
. "$root/scripts/step.sh"
asked=x86
if [ "${1:-}" = --x64 ]; then asked=x64; shift; fi
dpi=""
if [ "${1:-}" = --dpi ]; then dpi=${2:?--dpi needs a number of dots per inch}; shift 2; fi
# One line on 32-bit programs: why the 64-bit host runs instead, or the check's finding.
ravlix_find_32bit
arch=$(ravlix_main_job_arch "$asked")
[ "$arch" != "$asked" ] || ravlix_say_32bit
"$root/scripts/build.sh" --product "$arch"
build=$(ravlix_build_dir "$arch")
demo=$build/demo
downloads=$demo/downloads
screenshot=$demo/floating-window${dpi:+-at-$((dpi * 100 / 96))-percent}.png
log=$demo/host.log
sample_size=$((256 * 1024 * 1024))
mkdir -p "$downloads"
rm -f "$screenshot" "${screenshot%.png}-zoomed.png"

ravlix_use_arch "$arch"
. "$root/scripts/session.sh"
start_session
if [ -n "$dpi" ]; then
  use_private_prefix "dpi$dpi" "$dpi"
fi
cleanup() {
  [ -z "${host_pid:-}" ] || kill "$host_pid" 2>/dev/null || true
  # The private prefix's wineserver (gone already when the host ended
  # cleanly), then the session's own.
  if [ -n "$dpi" ]; then
    wineserver -k 2>/dev/null || true
    export WINEPREFIX=$RAVLIX_WINEPREFIX
  fi
  [ -z "${url_given:-}" ] && bash "$root/tests/peers/peers.sh" stop "$demo/peers"
  stop_session
}
trap cleanup EXIT

url_given=${1:-}
if [ -n "$url_given" ]; then
  url=$url_given
  name=$(basename "${url%%[?#]*}")
  [ -n "$name" ] || name=index.html
  source_file=""
else
  # Two free ports on 127.0.0.1, picked by the system.
  read -r nginx_port python_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
  echo "Generating a $((sample_size / 1048576)) MiB sample file and starting nginx on 127.0.0.1:$nginx_port"
  ravlix_step "starting nginx and Python's http.server for the sample" \
    bash "$root/tests/peers/peers.sh" start "$demo/peers" "$nginx_port" "$python_port" 1 "$sample_size"
  source_file=$demo/peers/docroot/f$sample_size.bin
  url="http://127.0.0.1:$nginx_port/f$sample_size.bin"
  name=sample.bin
fi
file=$downloads/$name
# An existing file would make the plug-in ask whether to overwrite it.
rm -f "$file" "$file.hhh"

echo "Downloading $url with the $arch RavlixHost over 5 connections (display $DISPLAY${dpi:+ at $dpi DPI})"
wine "$build/bin/RavlixHost.exe" --exit-when-done --connections 5 --folder "Z:$downloads" \
  --name "$name" "$url" </dev/null >"$log" 2>&1 &
host_pid=$!

# The first picture is taken once the first bytes are in the temporary file
# and the window has repainted (every 100 ms) to show them, then one every
# few tenths of a second until the file is in place. The last one that does
# not show an empty screen is kept: a local download can be over in a fifth
# of a second, and the host may have closed its window by the time import
# reads the screen.
while kill -0 "$host_pid" 2>/dev/null && [ ! -e "$file" ]; do
  [ -e "$file.hhh" ] && [ "$(du -B1 "$file.hhh" 2>/dev/null | cut -f1)" -gt 0 ] && break
  sleep 0.02
done
sleep 0.1
shot=$demo/taking.png
while import -window root "$shot" 2>/dev/null || { echo "import could not take a screenshot"; false; }; do
  [ "$(identify -format %k "$shot" 2>/dev/null || echo 0)" -le 2 ] || mv "$shot" "$screenshot"
  kill -0 "$host_pid" 2>/dev/null && [ ! -e "$file" ] || break
  sleep 0.3
done
rm -f "$shot"
# On a bare virtual display the window is all there is: trim the background away.
[ ! -s "$screenshot" ] || convert "$screenshot" -trim +repage -scale 300% "${screenshot%.png}-zoomed.png" 2>/dev/null || true
status=0
wait "$host_pid" || status=$?
host_pid=""
sed 's/^/  host: /' "$log"
[ "$status" -eq 0 ] || { echo "The host ended with status $status"; exit 1; }

read -r size seconds < <(awk '$1 == "file" {print $3, $5}' "$log" | tail -1)
echo
echo "Summary ($arch build)"
echo "  file:        $file"
echo "  size:        $size bytes ($(awk -v s="$size" 'BEGIN {printf "%.1f", s / 1048576}') MiB)"
echo "  time:        $seconds s"
echo "  throughput:  $(awk -v s="$size" -v t="$seconds" 'BEGIN {printf "%.1f", (t > 0 ? s / 1048576 / t : 0)}') MiB/s"
sha=$(sha256sum "$file" | cut -d' ' -f1)
if [ -n "$source_file" ]; then
  expected=$(sha256sum "$source_file" | cut -d' ' -f1)
  if [ "$sha" = "$expected" ]; then
    echo "  SHA-256:     $sha (matches the source)"
  else
    echo "  SHA-256:     $sha, but the source's is $expected"
    exit 1
  fi
else
  echo "  SHA-256:     $sha"
fi
if [ -s "$screenshot" ]; then
  echo "  screenshot:  $screenshot (the window alone, enlarged: ${screenshot%.png}-zoomed.png)"
else
  echo "  screenshot:  none taken"
fi
