#!/usr/bin/env bash
# The speed cap and the background mode on a real bottleneck: a network
# namespace of this run's own whose loopback (MTU 1500) the kernel's token
# bucket holds to 64 Mbit/s with 100 ms of queue. nginx, the display, the
# wineserver and the host all run inside it. A "player" streams at 3 MB/s
# over the same line while a prober times small requests every 100 ms
# (bench/player.py). Each figure is the median of RUNS runs (default 3).
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

# One download by the host: its seconds, or "-" when it did not finish.
host_download() {
  local name=$1; shift
  rm -f "$downloads/$name" "$downloads/$name.hhh"
  local start end
  start=$(date +%s.%N)
  wine "$build/bin/RavlixHost.exe" --exit-when-done --connections 5 --folder "Z:$downloads" --name "$name" "$@" \
    "$base/f$size.bin" </dev/null >"$work/host-$name.log" 2>&1 || { echo -; return; }
  end=$(date +%s.%N)
  python3 -c "print('%.2f' % ($end - $start))"
}

# RAVLIX_BENCH_ONLY=background runs the background mode's figures alone.
only=${RAVLIX_BENCH_ONLY:-}
with_player_modes=("--foreground --limit 0" "--foreground --limit 4000000" "--background --limit 0")
alone_modes=("--foreground --limit 0" "--background --limit 0")
if [ "$only" = background ]; then
  with_player_modes=("--background --limit 0")
  alone_modes=("--background --limit 0")
fi

[ "$only" = background ] || echo "player alone: rate MB/s (mean after 2 s), lowest second, median round trip ms"
[ "$only" = background ] || for run in $(seq "$runs"); do
  player "$work/alone-$run.json"
  echo "  run $run: $(player_figures "$work/alone-$run.json" 2 $((seconds - 1)))"
done

for mode in "${with_player_modes[@]}"; do
  echo "host $mode with the player: download seconds | player rate, lowest second, median rtt"
  for run in $(seq "$runs"); do
    player "$work/with-$run.json" &
    player_pid=$!
    sleep 3
    took=$(host_download "b$run.bin" $mode)
    wait "$player_pid"
    last=$(python3 -c "print(min($seconds - 1, 3 + ${took/-/$seconds}))")
    echo "  run $run: $took | $(player_figures "$work/with-$run.json" 5 "$last")"
  done
done

for mode in "${alone_modes[@]}"; do
  echo "host $mode, no player: download seconds"
  for run in $(seq "$runs"); do
    echo "  run $run: $(host_download "c$run.bin" $mode)"
  done
done
