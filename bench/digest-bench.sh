#!/usr/bin/env bash
# What checking a digest costs: 256 MiB from a local nginx through
# RavlixHost.exe with 5 connections, without a digest, with the host's
# SHA-256 and with its SHA-512 in the URL's fragment (a server's digest is
# checked the same way); beside aria2c -x5 without and with --checksum. Then
# the same for 64 MiB from the generated-content server held to 2 MB/s per
# request (tests/peers/generated-server.py, /paced/), a download that the
# network, not the disk, holds back. Prints the median of RUNS runs (default 3) of
# wall and CPU time (the wineserver's share included) and checks every
# copy's SHA-256. Figures, not a test.
#   bash bench/digest-bench.sh [RUNS]   (RAVLIX_ARCH=x86 for the 32-bit build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
arch=$(ravlix_main_job_arch "${RAVLIX_ARCH:-x64}")
runs=${1:-3}
"$root/scripts/build.sh" "$arch" >/dev/null
build=$(ravlix_build_dir "$arch")
work=$build/digest-bench
mkdir -p "$work/out"
ravlix_use_arch "$arch"
size=268435456
paced=67108864
. "$root/bench/bench-peers.sh"
start_bench_peers 1 $size
. "$root/bench/measure-once.sh"

out=$work/out/copy.bin
host=("$WINELOADER" "$build/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin --connections 5)
aria=(aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false
  -d "$work/out" -o copy.bin)

median() { python3 -c 'import statistics, sys; print("%.2f" % statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }

row() {
  local label=$1 walls=() cpus=() checks=ok
  shift
  for _ in $(seq "$runs"); do
    measure_once "$out" "$want" "$@"
    walls+=("$once_wall") cpus+=("$once_cpu")
    [ "$once_check" = ok ] || checks=$once_check
  done
  printf '%-34s %8s %8s  %s\n' "$label" "$(median "${walls[@]}")" "$(median "${cpus[@]}")" "$checks"
}

# The rows of one file at one location; source: a copy of the file.
table() {
  local title=$1 source=$2 url=$3 sha512
  want=$(sha256sum <"$source" | cut -d' ' -f1)
  sha512=$(sha512sum <"$source" | cut -d' ' -f1)
  printf '%-34s %8s %8s  %s\n' "$title, median of $runs" wall_s cpu_s sha256
  row "RavlixHost, no digest" "${host[@]}" "$url"
  row "RavlixHost, host's SHA-256" "${host[@]}" "$url#sha256=$want"
  row "RavlixHost, host's SHA-512" "${host[@]}" "$url#sha512=$sha512"
  row "aria2c -x5 -s5" "${aria[@]}" "$url"
  row "aria2c -x5 -s5 --checksum sha-256" "${aria[@]}" --checksum="sha-256=$want" "$url"
}

table "256 MiB from local nginx" "$work/peers/docroot/f$size.bin" "http://127.0.0.1:$nginx_port/f$size.bin"
curl -s -o "$work/paced.bin" "http://127.0.0.1:$generated_port/gen/$paced.bin"
table "64 MiB at 2 MB/s a request" "$work/paced.bin" "http://127.0.0.1:$generated_port/paced/bench/gen/$paced.bin"
rm -f "$work/paced.bin"
