#!/usr/bin/env bash
# What a kill costs. RavlixHost.exe (the 64-bit build's host) and aria2c -x5
# -s5 are killed (SIGKILL: a crash or a power cut gives no chance to save) at
# the same moments of the same download and then started again on it; each
# run prints the bytes the server sent beyond the file's size, i.e. fetched
# again after the kill. Beside them the goal for the plug-in: the bytes of
# one record period (2.5 s) at the rate the download had before the kill,
# plus five requests in flight of 1 MiB. aria2c resumes from its control
# file, which it writes every --auto-save-interval seconds (60 by default):
# once as users run it, once saving every 2 s. The kill moments are 30, 55
# and 80 % of the host's own time without a kill. Server shapes:
#   limited  64 MiB from nginx with limit_rate 1m and limit_req of five
#            requests a second (each request gets its first second at once:
#            the plug-in asks in burst-sized pieces), the shape the record's
#            pieces were tuned on;
#   uneven   128 MiB from /uneven/ (one connection in five at a tenth of the
#            others' rate: pieces are taken off the slow segment's end);
#   drift    64 MiB from /drift/ (each connection's rate wanders between 0.5
#            and 6 MB/s).
# Every copy's SHA-256 is checked. Figures, not a test.
# Usage: bench/kill-resume-bench.sh [SHAPE...] (builds first; all shapes when none is named).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"

all_shapes="limited uneven drift"
shapes=${*:-$all_shapes}
"$root/scripts/build.sh" x64 >/dev/null
build=$(ravlix_build_dir x64)
work=$build/kill-resume-bench
mkdir -p "$work/out"
mib=1048576

ravlix_use_arch x64
. "$root/bench/bench-peers.sh"
start_bench_peers $((64 * mib))
limited_file=f$((64 * mib)).bin
touch "$work/peers/limited.log"

out=$work/out/copy.bin
host=("$RAVLIX_WINE64_LOADER" "$build/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin
  --connections 5)
aria=(aria2c -q -c -x5 -s5 -k1M --file-allocation=none --auto-file-renaming=false -d "$work/out" -o copy.bin)

# The bytes the server has sent for url: nginx's log of /limited/ (an answer
# is logged once it ends), or the generated server's count under url's key.
sent_for() {
  case $1 in
    */limited/*) awk '{s += $1} END {printf "%d", s}' "$work/peers/limited.log" ;;
    *) curl -s "http://127.0.0.1:$generated_port/sent/$(echo "$1" | cut -d/ -f5)" ;;
  esac
}

# shape_url SHAPE KEY, shape_size SHAPE, shape_digest SHAPE
shape_url() {
  case $1 in
    limited) echo "http://127.0.0.1:$nginx_port/limited/$limited_file" ;;
    uneven) echo "http://127.0.0.1:$generated_port/uneven/$2/gen/$((128 * mib)).bin" ;;
    drift) echo "http://127.0.0.1:$generated_port/drift/$2/gen/$((64 * mib)).bin" ;;
  esac
}
shape_size() { case $1 in uneven) echo $((128 * mib)) ;; *) echo $((64 * mib)) ;; esac; }
shape_digest() {
  case $1 in
    limited) sha256sum <"$work/peers/docroot/$limited_file" | cut -d' ' -f1 ;;
    *) python3 "$root/tests/peers/generated-server.py" --sha256 "$(shape_size "$1")" ;;
  esac
}

fresh_copy() { rm -f "$out" "$out.hhh" "$out.aria2"; }

# The host's time for the download without a kill.
full_time() {
  local url=$1 start
  fresh_copy
  start=$(date +%s.%N)
  "${host[@]}" "$url" </dev/null >"$work/host.txt" 2>&1
  awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {printf "%.1f", e - s}'
}

# trial LABEL SHAPE KILL_AT COMMAND...: the command is killed KILL_AT seconds
# after its start and started again to the end; prints one row.
trial() {
  local label=$1 shape=$2 kill_at=$3
  shift 3
  local key=k$RANDOM$RANDOM url size before at_kill after rate goal check=MISMATCH
  url=$(shape_url "$shape" "$key")
  size=$(shape_size "$shape")
  fresh_copy
  before=$(sent_for "$url")
  "$@" "$url" </dev/null >"$work/run.txt" 2>&1 &
  local pid=$!
  sleep "$kill_at"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 0.5  # nginx logs the answers the kill cut off
  at_kill=$(($(sent_for "$url") - before))
  "$@" "$url" </dev/null >"$work/run.txt" 2>&1 || true
  after=$(($(sent_for "$url") - before))
  [ -f "$out" ] && [ "$(sha256sum <"$out" | cut -d' ' -f1)" = "$want" ] && check=ok
  rate=$(awk -v b="$at_kill" -v t="$kill_at" 'BEGIN {printf "%d", b / t}')
  goal=$(awk -v r="$rate" -v m=$mib 'BEGIN {printf "%.1f", (r * 2.5 + 5 * m) / 1e6}')
  printf '  %-30s %7s %10.1f %12.1f %8s  %s\n' "$label" "$kill_at" "$(awk -v b="$at_kill" 'BEGIN {print b / 1e6}')" \
    "$(awk -v a="$after" -v s="$size" 'BEGIN {print (a - s) / 1e6}')" "$goal" "$check"
}

for shape in $shapes; do
  want=$(shape_digest "$shape")
  full=$(full_time "$(shape_url "$shape" "k$RANDOM$RANDOM")")
  echo "$shape: $(($(shape_size "$shape") / mib)) MiB; the host alone takes $full s"
  printf '  %-30s %7s %10s %12s %8s  %s\n' case kill_s sent_MB refetched_MB goal_MB sha256
  for share in 0.30 0.55 0.80; do
    at=$(awk -v f="$full" -v s="$share" 'BEGIN {printf "%.1f", f * s}')
    trial "RavlixHost x64" "$shape" "$at" "${host[@]}"
    trial "aria2c (saves every 60 s)" "$shape" "$at" "${aria[@]}"
    trial "aria2c --auto-save-interval=2" "$shape" "$at" "${aria[@]}" --auto-save-interval=2
  done
done
