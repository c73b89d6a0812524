#!/usr/bin/env bash
# The plug-in as users meet it: RavlixHost.exe under Wine (process start,
# floating window, download, rename) beside curl and aria2c -x5 -s5, each
# case run three times and its median printed:
#   - 512 MiB from a local nginx: 5 connections against aria2c, 1 against curl;
#   - 64 MiB from nginx's location with limit_rate 2m per connection;
#   - 64 MiB from an uneven server (tests/peers/generated-server.py /uneven/:
#     one connection in five at a tenth of the others' rate), also against
#     the ideal time, the bytes over the sum of five connections' rates;
#   - 64 MiB from Python's http.server (HTTP/1.0: one stream) against curl,
#     beside the host fetching a 1-byte file there: what starting a Windows
#     process with a window under Wine costs before any download.
# Prints wall time, CPU time (user + system, the wineserver's share included
# for the host), peak memory, and the wall time as a ratio to the case's
# reference; for the host also the download's own time, from the call that
# hands it over to the file in place (Wine's process start-up left out), and
# its ratio. Checks every copy's SHA-256. Figures, not a test.
# The 32-bit build's host; bench/host-bench.sh sets both architectures and
# the big files side by side. Usage: bench/server-kinds-bench.sh (builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/build.sh" x86 >/dev/null
build=$(ravlix_build_dir x86)
work=$build/server-kinds-bench
mkdir -p "$work/out"

ravlix_use_arch x86
big=536870912
mid=67108864
. "$root/bench/bench-peers.sh"
start_bench_peers 1 $big $mid

. "$root/bench/measure-once.sh"

out=$work/out/copy.bin
rows=()
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

# run LABEL WANT COMMAND...: three runs, the medians as one row. A command
# word @KEY@ becomes a key of its own per run (the uneven server counts
# connections per key).
run() {
  local label=$1 want=$2
  shift 2
  local walls=() cpus=() peaks=() owns=() checks=ok
  for n in 1 2 3; do
    local command=("${@//@KEY@/k$RANDOM$n}")
    measure_once "$out" "$want" "${command[@]}"
    walls+=("$once_wall") cpus+=("$once_cpu") peaks+=("$once_peak") owns+=("$once_own")
    [ "$once_check" = ok ] || checks=MISMATCH
  done
  local own=-
  [ "${owns[0]}" = - ] || own=$(median "${owns[@]}")
  rows+=("$label|$(median "${walls[@]}")|$(median "${cpus[@]}")|$(printf '%s\n' "${peaks[@]}" | sort -g | tail -1)|$checks|$own")
}

host=(wine "$build/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin --connections)
aria=(aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false
  -d "$work/out" -o copy.bin)

# Prints one group of rows, each with its wall time over the reference's:
# the row labelled REFERENCE, or a fixed number of seconds.
table() {
  local title=$1
  echo "$title (medians of 3; peak = the highest of the 3)"
  printf '  %-28s %8s %8s %9s  %-18s %9s  %-18s %s\n' case wall_s cpu_s peak_MiB "wall ratio" in_host_s \
    "in-host ratio" sha256
  for row in "${rows[@]}"; do
    IFS='|' read -r label wall cpu peak check own reference <<<"$row"
    local ratio="" own_ratio=""
    if [ -n "${reference:-}" ]; then
      ratio=$(awk -v a="$wall" -v b="${reference#*=}" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')
      ratio="$ratio × ${reference%%=*}"
      [ "$own" = - ] || own_ratio="$(awk -v a="$own" -v b="${reference#*=}" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}') × ${reference%%=*}"
    fi
    printf '  %-28s %8s %8s %9s  %-18s %9s  %-18s %s\n' "$label" "$wall" "$cpu" "$peak" "$ratio" "$own" "$own_ratio" \
      "$check"
  done
  rows=()
}

# Sets the reference of row INDEX: NAME=SECONDS.
refer() { rows[$1]="${rows[$1]}|$2"; }
wall_of() { IFS='|' read -r _ wall _ <<<"${rows[$1]}"; echo "$wall"; }

url="http://127.0.0.1:$nginx_port/f$big.bin"
want=$(peer_digest "f$big.bin")
run "curl" "$want" curl -s -o "$out" "$url"
run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
run "RavlixHost 1 connection" "$want" "${host[@]}" 1 "$url"
run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
refer 2 "curl=$(wall_of 0)"
refer 3 "aria2c=$(wall_of 1)"
table "512 MiB from local nginx"

url="http://127.0.0.1:$nginx_port/slow/f$mid.bin"
want=$(peer_digest "f$mid.bin")
run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
refer 1 "aria2c=$(wall_of 0)"
table "64 MiB from nginx with limit_rate 2m per connection"

url="http://127.0.0.1:$generated_port/uneven/@KEY@/gen/$mid.bin"
want=$(python3 "$root/tests/peers/generated-server.py" --sha256 $mid)
# Four connections at 6 MB/s and one at 0.6 MB/s.
ideal=$(awk -v b=$mid 'BEGIN {printf "%.2f", b / (4 * 6e6 + 6e5)}')
run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
refer 0 "ideal=$ideal"
rows+=("${rows[1]}|ideal=$ideal")
rows[2]="RavlixHost against ideal|${rows[2]#*|}"
refer 1 "aria2c=$(wall_of 0)"
table "64 MiB from the uneven server (4 × 6 MB/s, 1 × 0.6 MB/s per connection)"

url="http://127.0.0.1:$python_port/f$mid.bin"
want=$(peer_digest "f$mid.bin")
run "curl" "$want" curl -s -o "$out" "$url"
run "RavlixHost (one stream)" "$want" "${host[@]}" 1 "$url"
# The host's own floor: its process, window and plug-in around a 1-byte file.
run "RavlixHost, a 1-byte file" "$(peer_digest f1.bin)" "${host[@]}" 1 "http://127.0.0.1:$python_port/f1.bin"
refer 1 "curl=$(wall_of 0)"
refer 2 "curl=$(wall_of 0)"
table "64 MiB from Python's http.server (HTTP/1.0)"
rm -f "$out"
