#!/usr/bin/env bash
# The speed cap and the background mode on a real bottleneck: a network
# namespace of this run's own whose loopback (MTU 1500) the kernel's token
# bucket holds to 64 Mbit/s with 100 ms of queue. nginx, the display, the
# wineserver and the host all run inside it. A "player" streams at 3 MB/s
# over the same line while a prober times small requests every 100 ms
# (bench/player.py). Each figure is the median of RUNS runs (default 3).
# Every copy is checked against its source's SHA-256. The host's CPU time is
# its own process's (user + system), without the wineserver's share.
#   bash bench/bottleneck-bench.sh [--x64] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${RAVLIX_IN_BOTTLENECK:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
    echo "no network namespace of our own can be made here (needs root and unshare --net)" >&2
    exit 77
  fi
  RAVLIX_IN_BOTTLENECK=1 exec unshare --net bash "$0" "$@"
fi
. "$root/scripts/arch.sh"
asked=x86
if [ "${1:-}" = --x64 ]; then asked=x64; shift; fi
runs=${1:-3}
arch=$(ravlix_main_job_arch "$asked")
build=$(ravlix_build_dir "$arch")
ravlix_use_arch "$arch"

ip link set lo up
ip link set dev lo mtu 1500
tc qdisc add dev lo root tbf rate 64mbit burst 32kb latency 100ms

. "$root/scripts/session.sh"
unset DISPLAY
use_private_prefix bottleneck
start_session
work=$build/bottleneck
downloads=$work/downloads
mkdir -p "$downloads"
peers=$work/peers
trap 'bash "$root/tests/peers/peers.sh" stop "$peers"; stop_session' EXIT
size=$((64 * 1024 * 1024))
stream_size=$((256 * 1024 * 1024))
bash "$root/tests/peers/peers.sh" start "$peers" 18480 18481 1 "$size" "$stream_size" >/dev/null
base=http://127.0.0.1:18480
seconds=${RAVLIX_BENCH_SECONDS:-30}

# The player's figures from second FROM to second TO of its run (a
# download's seconds after its own first two): its mean rate and its lowest
# second in MB/s, and its median round trip in ms.
player_figures() {
  python3 -c '
import json, statistics, sys
d = json.load(open(sys.argv[1]))
first, last = int(float(sys.argv[2])), int(float(sys.argv[3]))
rates = d["per_second"][first:last] or [0]
rtts = [r for t, r in d["rtts"] if first <= t < last] or [0]
print("%.2f %.2f %.1f" % (statistics.mean(rates) / 1e6, min(rates) / 1e6, statistics.median(rtts)))' "$1" "$2" "$3"
}

player() {
  python3 "$root/bench/player.py" "$base/f$stream_size.bin" "$base/f1.bin" "$seconds" >"$1"
}

source_sum=$(sha256sum "$peers/docroot/f$size.bin" | cut -d' ' -f1)

# One download of the 64 MiB file by a command (its last argument the URL,
# NAME the file it writes in the downloads folder): "seconds cpu_seconds",
# or "- -" when it failed or the copy differs.
timed_download() {
  local name=$1; shift
  rm -f "$downloads/$name" "$downloads/$name.hhh"
  if ! /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" "$base/f$size.bin" </dev/null >"$work/out-$name.log" 2>&1 ||
    [ "$(sha256sum "$downloads/$name" 2>/dev/null | cut -d' ' -f1)" != "$source_sum" ]; then
    echo "- -"
    return
  fi
  awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time"
}

host() {
  local name=$1; shift
  echo "$WINELOADER" "$build/bin/RavlixHost.exe" --exit-when-done --connections 5 --folder "Z:$downloads" --name "$name" "$@"
}

# The cases: a label, then the command without its URL; NAME stands for the file.
declare -A cases=(
  ["RavlixHost full speed"]="$(host NAME --foreground --limit 0)"
  ["RavlixHost cap 4M"]="$(host NAME --foreground --limit 4M)"
  ["RavlixHost background"]="$(host NAME --background --limit 0)"
  ["aria2c -x5 -s5"]="aria2c -q -x5 -s5 --allow-overwrite=true -d $downloads -o NAME"
  ["aria2c cap 4M"]="aria2c -q -x5 -s5 --max-overall-download-limit=4M --allow-overwrite=true -d $downloads -o NAME"
  ["curl"]="curl -s -o $downloads/NAME"
)
with_player=("RavlixHost full speed" "aria2c -x5 -s5" "curl" "RavlixHost cap 4M" "aria2c cap 4M" "RavlixHost background")
alone=("RavlixHost full speed" "RavlixHost cap 4M" "RavlixHost background" "aria2c -x5 -s5")
# RAVLIX_BENCH_ONLY=background runs the background mode's figures alone.
if [ "${RAVLIX_BENCH_ONLY:-}" = background ]; then
  with_player=("RavlixHost background")
  alone=("RavlixHost background")
fi

median() { python3 -c 'import statistics, sys; v = [float(x) for x in sys.argv[1:] if x != "-"]; print("%.2f" % statistics.median(v) if v else "-")' "$@"; }

if [ "${RAVLIX_BENCH_ONLY:-}" != background ]; then
  echo "The player alone (median of $runs): MB/s, lowest second MB/s, round trip ms"
  rates=() lows=() rtts=()
  for run in $(seq "$runs"); do
    player "$work/alone-$run.json"
    read -r rate low rtt < <(player_figures "$work/alone-$run.json" 2 $((seconds - 1)))
    rates+=("$rate") lows+=("$low") rtts+=("$rtt")
  done
  printf '  %-24s %8s %8s %8s\n' "player" "$(median "${rates[@]}")" "$(median "${lows[@]}")" "$(median "${rtts[@]}")"
fi

echo "With the player (median of $runs): download s, MB/s | player MB/s, lowest second after the download's second, round trip ms"
for label in "${with_player[@]}"; do
  tooks=() speeds=() rates=() lows=() rtts=()
  for run in $(seq "$runs"); do
    player "$work/with-$run.json" &
    player_pid=$!
    sleep 3
    command=${cases[$label]//NAME/p$run.bin}
    read -r took cpu < <(timed_download "p$run.bin" $command)
    wait "$player_pid"
    if [ "$took" != - ]; then
      last=$(python3 -c "print(min($seconds - 1, int(3 + $took)))")
      read -r rate low rtt < <(player_figures "$work/with-$run.json" 5 "$last")
      tooks+=("$took") speeds+=("$(python3 -c "print('%.2f' % ($size / $took / 1e6))")")
      rates+=("$rate") lows+=("$low") rtts+=("$rtt")
    fi
  done
  printf '  %-24s %8s %8s | %8s %8s %8s\n' "$label" "$(median "${tooks[@]}")" "$(median "${speeds[@]}")" \
    "$(median "${rates[@]}")" "$(median "${lows[@]}")" "$(median "${rtts[@]}")"
done

echo "Alone on the line (median of $runs): download s, MB/s, CPU s"
for label in "${alone[@]}"; do
  tooks=() speeds=() cpus=()
  for run in $(seq "$runs"); do
    command=${cases[$label]//NAME/a$run.bin}
    read -r took cpu < <(timed_download "a$run.bin" $command)
    [ "$took" = - ] && continue
    tooks+=("$took") cpus+=("$cpu") speeds+=("$(python3 -c "print('%.2f' % ($size / $took / 1e6))")")
  done
  printf '  %-24s %8s %8s %8s\n' "$label" "$(median "${tooks[@]}")" "$(median "${speeds[@]}")" "$(median "${cpus[@]}")"
done
