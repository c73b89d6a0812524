#!/usr/bin/env bash
# The plug-in as users meet it: RavlixHost.exe under Wine (process start,
# floating window, download, rename) beside curl and aria2c -x5 -s5, each
# case run three times and its median printed, in groups:
#   local   512 MiB from a local nginx: 5 connections against aria2c, 1 against curl;
#   limit   nginx's limit_rate: 64 MiB at 2m per connection, and 16 MiB at 1m
#           (nginx lets each request's first second's worth through at once);
#   uneven  64 MiB from an uneven server (tests/peers/generated-server.py /uneven/:
#           one connection in five at a tenth of the others' rate), also against
#           the ideal time, the bytes over the sum of five connections' rates;
#   python  64 MiB from Python's http.server (HTTP/1.0: one stream) against curl,
#           beside the host fetching a 1-byte file there: what starting a Windows
#           process with a window under Wine costs before any download;
#   far     32 MiB from a far server (/far/: 80 ms before every answer's header,
#           1.5 MB/s per connection), against the ideal time;
#   drift   64 MiB from a server whose rate per connection wanders between 0.5
#           and 6 MB/s (/drift/); no ideal time, as a client may drop a slow
#           connection for a new one, so the best time depends on how it plays;
#   shared  64 MiB down one 8 MB/s line that all connections share (/shared/),
#           against the ideal time, the bytes over the line's rate;
#   https   256 MiB from nginx over https, also through WinHTTP (Wine's own
#           stack, bench/WinHttpFetch.cpp) over one connection.
# First the host around a 1-byte file from nginx, over http and (with https)
# over https: its floor, which own_MiB takes from the host rows' peak memory.
# Prints wall time, CPU time (user + system, the wineserver's share included
# for Windows programs) and the same per GiB received, peak memory, and the
# wall time as a ratio to the case's reference; for the host also the
# download's own time, from the call that hands it over to the file in place
# (Wine's process start-up left out), and its ratio. Checks every copy's
# SHA-256. Figures, not a test. The 32-bit build's host in the 32-bit prefix,
# or with RAVLIX_BENCH_ARCH=x64 the 64-bit build's host in the 64-bit prefix;
# bench/host-bench.sh sets both architectures and the big files side by side.
# The floor group also prints what a bare thread costs (bench/IdleThreads.cpp):
# five connections are five threads of the component.
# Usage: bench/server-kinds-bench.sh [GROUP...] (builds first; all groups when
# none is named). For a quick look RAVLIX_BENCH_ROUNDS=1 runs each case once,
# and RAVLIX_BENCH_SHRINK=N divides every size by N (a power of two).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"

all_groups="local limit uneven python far drift shared https"
groups=" ${*:-$all_groups} "
for group in $groups; do
  case " $all_groups " in
    *" $group "*) ;;
    *) echo "unknown group '$group' (groups: $all_groups)" >&2; exit 2 ;;
  esac
done
chosen() { [[ "$groups" == *" $1 "* ]]; }

arch=${RAVLIX_BENCH_ARCH:-x86}
ravlix_arches "$arch" >/dev/null
"$root/scripts/build.sh" "$arch" >/dev/null
build=$(ravlix_build_dir "$arch")
work=$build/server-kinds-bench
mkdir -p "$work/out"

rounds=${RAVLIX_BENCH_ROUNDS:-3}
mib=$((1048576 / ${RAVLIX_BENCH_SHRINK:-1}))
local_size=$((512 * mib))
limited_size=$((64 * mib))
short_size=$((16 * mib))
uneven_size=$((64 * mib))
python_size=$((64 * mib))
far_size=$((32 * mib))
drift_size=$((64 * mib))
shared_size=$((64 * mib))
https_size=$((256 * mib))

ravlix_use_arch "$arch"
. "$root/bench/bench-peers.sh"
files=(1)
chosen local && files+=("$local_size")
chosen limit && files+=("$limited_size" "$short_size")
chosen python && files+=("$python_size")
tls=()
if chosen https; then
  tls=(--tls)
  files+=("$https_size")
fi
start_bench_peers "${tls[@]}" "${files[@]}"

. "$root/bench/measure-once.sh"

out=$work/out/copy.bin
ca=$work/peers/tls/ca.crt
rows=()
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
sized() { awk -v b="$1" 'BEGIN {if (b >= 1048576) printf "%g MiB", b / 1048576; else printf "%g KiB", b / 1024}'; }
generated_digest() { python3 "$root/tests/peers/generated-server.py" --sha256 "$1"; }

# run LABEL WANT COMMAND...: $rounds runs, the medians as one row. A command
# word @KEY@ becomes a key of its own per run (the generated server counts
# connections and shares its line per key).
run() {
  local label=$1 want=$2
  shift 2
  local walls=() cpus=() peaks=() owns=() checks=ok bytes=0
  for n in $(seq "$rounds"); do
    local command=("${@//@KEY@/k$RANDOM$n}")
    measure_once "$out" "$want" "${command[@]}"
    walls+=("$once_wall") cpus+=("$once_cpu") peaks+=("$once_peak") owns+=("$once_own")
    [ "$once_check" = ok ] || checks=MISMATCH
    [ ! -f "$out" ] || bytes=$(stat -c %s "$out")
  done
  local own=-
  [ "${owns[0]}" = - ] || own=$(median "${owns[@]}")
  rows+=("$label|$(median "${walls[@]}")|$(median "${cpus[@]}")|$(printf '%s\n' "${peaks[@]}" | sort -g | tail -1)|$checks|$own|$bytes")
}

# The loader of the session's architecture itself (scripts/wine-loader.sh):
# a 64-bit program started through the 32-bit one would run under a
# start.exe that waits for it, uncounted.
host=("$WINELOADER" "$build/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin --connections)
aria=(aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false
  -d "$work/out" -o copy.bin)

table_line() { printf '  %-28s %8s %8s %9s %9s %8s  %-18s %9s  %-18s %s\n' "$@"; }

# table TITLE FLOOR_MIB: prints the group's rows, each with its wall time
# over the reference's (the row labelled REFERENCE, or a fixed number of
# seconds); own_MiB is a host row's peak over FLOOR_MIB, the host's peak
# around a 1-byte file over the same scheme. CPU per GiB is left out for
# rows under 1 MiB, where it would measure the start and not the bytes.
table() {
  local title=$1 floor=$2
  echo "$title (medians of $rounds; peak = the highest of the $rounds)"
  table_line case wall_s cpu_s cpu_s/GiB peak_MiB own_MiB "wall ratio" in_host_s "in-host ratio" sha256
  for row in "${rows[@]}"; do
    IFS='|' read -r label wall cpu peak check own bytes reference <<<"$row"
    local ratio="" own_ratio="" per_gib=- own_mib=-
    if [ -n "${reference:-}" ]; then
      ratio=$(awk -v a="$wall" -v b="${reference#*=}" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')
      ratio="$ratio × ${reference%%=*}"
      [ "$own" = - ] || own_ratio="$(awk -v a="$own" -v b="${reference#*=}" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}') × ${reference%%=*}"
    fi
    [ "$bytes" -lt 1048576 ] || per_gib=$(awk -v c="$cpu" -v b="$bytes" 'BEGIN {printf "%.2f", c * 1073741824 / b}')
    [ "$own" = - ] || own_mib=$((peak - floor))
    table_line "$label" "$wall" "$cpu" "$per_gib" "$peak" "$own_mib" "$ratio" "$own" "$own_ratio" "$check"
  done
  rows=()
}

# Sets the reference of row INDEX: NAME=SECONDS.
refer() { rows[$1]="${rows[$1]}|$2"; }
# Adds row INDEX again as LABEL against REFERENCE; before row INDEX has its own.
again() { rows+=("$2|${rows[$1]#*|}|$3"); }
wall_of() { IFS='|' read -r _ wall _ <<<"${rows[$1]}"; echo "$wall"; }
peak_of() { IFS='|' read -r _ _ _ peak _ <<<"${rows[$1]}"; echo "$peak"; }
ideal() { awk "BEGIN {printf \"%.2f\", $1}"; }

# The host's process, window and plug-in around a 1-byte file: the floor of
# every host row, and over https what TLS adds to starting and ending.
floor_group() {
  run "RavlixHost, 1 byte, http" "$(peer_digest f1.bin)" "${host[@]}" 1 "http://127.0.0.1:$nginx_port/f1.bin"
  http_floor=$(peak_of 0)
  https_floor=-
  if chosen https; then
    run "RavlixHost, 1 byte, https" "$(peer_digest f1.bin)" "${host[@]}" 1 "https://localhost:$tls_port/f1.bin"
    https_floor=$(peak_of 1)
    refer 1 "http=$(wall_of 0)"
  fi
  table "The host around a 1-byte file from nginx" "$http_floor"
  thread_cost
}

# The peak of a program that starts five idle threads over its peak with
# none, per thread: under Wine every thread holds about 1 MiB of its stack
# resident however little it uses, so the host's own memory over five
# connections holds five of these.
thread_cost() {
  local peaks=() threads
  for threads in 0 5; do
    measure_once "$out" - "$loader" "$build/bin/IdleThreads.exe" "$threads"
    peaks+=("$once_peak_kib")
  done
  awk -v none="${peaks[0]}" -v five="${peaks[1]}" 'BEGIN {
    printf "A bare thread: a program with 5 idle threads peaks at %.1f MiB, with none at %.1f MiB: %.2f MiB a thread\n",
      five / 1024, none / 1024, (five - none) / 5 / 1024 }'
}

# The rows of most groups: curl and aria2c -x5 -s5, then the host over 1
# and over 5 connections (rows 0 to 3).
four_rows() {
  local url=$1 want=$2
  run "curl" "$want" curl -s -o "$out" "$url"
  run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
  run "RavlixHost 1 connection" "$want" "${host[@]}" 1 "$url"
  run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
}

local_group() {
  local url="http://127.0.0.1:$nginx_port/f$local_size.bin" want
  want=$(peer_digest "f$local_size.bin")
  four_rows "$url" "$want"
  refer 2 "curl=$(wall_of 0)"
  refer 3 "aria2c=$(wall_of 1)"
  table "$(sized $local_size) from local nginx" "$http_floor"
}

limit_group() {
  local url="http://127.0.0.1:$nginx_port/slow/f$limited_size.bin" want
  want=$(peer_digest "f$limited_size.bin")
  run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
  run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
  refer 1 "aria2c=$(wall_of 0)"
  table "$(sized $limited_size) from nginx with limit_rate 2m per connection" "$http_floor"

  # A short file: the first second's worth of each request is a large part of it.
  url="http://127.0.0.1:$nginx_port/slow-1m/f$short_size.bin"
  want=$(peer_digest "f$short_size.bin")
  four_rows "$url" "$want"
  refer 2 "curl=$(wall_of 0)"
  refer 3 "aria2c=$(wall_of 1)"
  table "$(sized $short_size) from nginx with limit_rate 1m per connection" "$http_floor"
}

uneven_group() {
  local url="http://127.0.0.1:$generated_port/uneven/@KEY@/gen/$uneven_size.bin" want
  want=$(generated_digest $uneven_size)
  # Four connections at 6 MB/s and one at 0.6 MB/s.
  local best
  best=$(ideal "$uneven_size / (4 * 6e6 + 6e5)")
  run "aria2c -x5 -s5" "$want" "${aria[@]}" "$url"
  run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
  refer 0 "ideal=$best"
  again 1 "RavlixHost against ideal" "ideal=$best"
  refer 1 "aria2c=$(wall_of 0)"
  table "$(sized $uneven_size) from the uneven server (4 × 6 MB/s, 1 × 0.6 MB/s per connection)" "$http_floor"
}

python_group() {
  local url="http://127.0.0.1:$python_port/f$python_size.bin" want
  want=$(peer_digest "f$python_size.bin")
  run "curl" "$want" curl -s -o "$out" "$url"
  run "RavlixHost (one stream)" "$want" "${host[@]}" 1 "$url"
  # The host's own floor: its process, window and plug-in around a 1-byte file.
  run "RavlixHost, a 1-byte file" "$(peer_digest f1.bin)" "${host[@]}" 1 "http://127.0.0.1:$python_port/f1.bin"
  refer 1 "curl=$(wall_of 0)"
  refer 2 "curl=$(wall_of 0)"
  table "$(sized $python_size) from Python's http.server (HTTP/1.0)" "$http_floor"
}

# Against the ideal time on every row, so that 1 and 5 connections read alike:
# the bytes over the connections' rates (generated-server.py's FAR_RATE) and
# one wait for a header (FAR_DELAY); the other connections' waits overlap it.
far_group() {
  local url="http://127.0.0.1:$generated_port/far/@KEY@/gen/$far_size.bin" want one five
  want=$(generated_digest $far_size)
  one=$(ideal "$far_size / 1.5e6 + 0.08")
  five=$(ideal "$far_size / (5 * 1.5e6) + 0.08")
  four_rows "$url" "$want"
  refer 0 "ideal=$one"
  refer 1 "ideal=$five"
  refer 2 "ideal=$one"
  refer 3 "ideal=$five"
  table "$(sized $far_size) from a far server (80 ms before each header, 1.5 MB/s per connection; ideal $one s over 1, $five s over 5)" \
    "$http_floor"
}

drift_group() {
  local url="http://127.0.0.1:$generated_port/drift/@KEY@/gen/$drift_size.bin" want
  want=$(generated_digest $drift_size)
  four_rows "$url" "$want"
  refer 2 "curl=$(wall_of 0)"
  refer 3 "aria2c=$(wall_of 1)"
  table "$(sized $drift_size) from a drifting server (each connection 0.5 to 6 MB/s, changing every second)" "$http_floor"
}

# One line for all: more connections do not go faster, so every row is
# against the bytes over the line's rate (generated-server.py's SHARED_RATE).
shared_group() {
  local url="http://127.0.0.1:$generated_port/shared/@KEY@/gen/$shared_size.bin" want best
  want=$(generated_digest $shared_size)
  best=$(ideal "$shared_size / 8e6")
  four_rows "$url" "$want"
  for index in 0 1 2 3; do refer $index "ideal=$best"; done
  table "$(sized $shared_size) down one line shared by all connections (8 MB/s in total)" "$http_floor"
}

https_group() {
  local url="https://localhost:$tls_port/f$https_size.bin" want
  want=$(peer_digest "f$https_size.bin")
  run "curl" "$want" curl -s --cacert "$ca" -o "$out" "$url"
  run "aria2c -x5 -s5" "$want" "${aria[@]}" --ca-certificate="$ca" "$url"
  run "WinHTTP (Wine's own stack)" "$want" "$loader" "$build/bin/WinHttpFetch.exe" "$url" "Z:$out"
  run "RavlixHost 1 connection" "$want" "${host[@]}" 1 "$url"
  run "RavlixHost 5 connections" "$want" "${host[@]}" 5 "$url"
  again 3 "RavlixHost 1 against WinHTTP" "WinHTTP=$(wall_of 2)"
  refer 2 "curl=$(wall_of 0)"
  refer 3 "curl=$(wall_of 0)"
  refer 4 "aria2c=$(wall_of 1)"
  table "$(sized $https_size) from nginx over https" "$https_floor"
}

floor_group
for group in $all_groups; do
  if chosen "$group"; then "${group}_group"; fi
done
rm -f "$out"
