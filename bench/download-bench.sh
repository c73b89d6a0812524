#!/usr/bin/env bash
# Download benchmark: one 512 MiB file from a local nginx through the
# plug-in's transfer engine (1 and 5 connections), through Netquill.dll alone
# (a probe, then 5 range requests in callback mode into a mapped file), with
# curl (one connection) and with aria2c -x5 -s5; then a 64 MiB file from a
# location with limit_rate 2m, over 1 and over 5 connections. Prints wall
# time, CPU time (user + system, the wineserver's share included) and peak
# memory side by side and checks every copy's SHA-256.
# Then the 512 MiB file over https (a certificate of the test authority, which
# curl and aria2c are given with their CA options) through the plug-in and the
# component with 5 connections, beside curl and aria2c -x5 -s5.
# Figures, not a test. Usage: bench/download-bench.sh [https] (builds first;
# "https" runs the https rows alone; RAVLIX_ARCH=x64 measures the 64-bit build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
arch=${RAVLIX_ARCH:-x86}
"$root/scripts/build.sh" "$arch" >/dev/null
build=$(ravlix_build_dir "$arch")
work=$build/bench
mkdir -p "$work/out"

only=${1:-all}
ravlix_use_arch "$arch"
big=536870912
slow=67108864
. "$root/bench/bench-peers.sh"
start_bench_peers --tls 1 $big $slow

. "$root/bench/measure-once.sh"

out=$work/out/copy.bin
printf '%-38s %8s %8s %9s  %s\n' case wall_s cpu_s peak_MiB sha256
run() {
  local label=$1 file=$2
  shift 2
  measure_once "$out" "$(peer_digest "$file")" "$@"
  printf '%-38s %8s %8s %9s  %s\n' "$label" "$once_wall" "$once_cpu" "$once_peak" "$once_check"
}

bench_exe="$build/bin/NetquillBench.exe"
plugin_exe="$build/bin/PluginBench.exe"
url="http://127.0.0.1:$nginx_port/f$big.bin"
folder="Z:$work/out\\"
if [ "$only" != https ]; then
run "Plug-in 1 connection, 512 MiB" "f$big.bin" "$WINELOADER" "$plugin_exe" "$url" 1 "$folder" copy.bin
run "Plug-in 5 connections, 512 MiB" "f$big.bin" "$WINELOADER" "$plugin_exe" "$url" 5 "$folder" copy.bin
run "Netquill 5 ranges, 512 MiB" "f$big.bin" "$WINELOADER" "$bench_exe" "$url" 5 "Z:$out"
run "curl 1 connection, 512 MiB" "f$big.bin" curl -s -o "$out" "$url"
run "aria2c -x5 -s5, 512 MiB" "f$big.bin" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$url"

slow_url="http://127.0.0.1:$nginx_port/slow/f$slow.bin"
run "Plug-in 1 connection, 64 MiB @2m" "f$slow.bin" "$WINELOADER" "$plugin_exe" "$slow_url" 1 "$folder" copy.bin
run "Plug-in 5 connections, 64 MiB @2m" "f$slow.bin" "$WINELOADER" "$plugin_exe" "$slow_url" 5 "$folder" copy.bin
run "Netquill 1 range, 64 MiB @2m" "f$slow.bin" "$WINELOADER" "$bench_exe" "$slow_url" 1 "Z:$out"
run "Netquill 5 ranges, 64 MiB @2m" "f$slow.bin" "$WINELOADER" "$bench_exe" "$slow_url" 5 "Z:$out"
run "curl 1 connection, 64 MiB @2m" "f$slow.bin" curl -s -o "$out" "$slow_url"
run "aria2c -x5 -s5, 64 MiB @2m" "f$slow.bin" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$slow_url"
fi

https_url="https://localhost:$tls_port/f$big.bin"
ca=$work/peers/tls/ca.crt
run "https Plug-in 5 connections, 512 MiB" "f$big.bin" "$WINELOADER" "$plugin_exe" "$https_url" 5 "$folder" copy.bin
run "https Netquill 5 ranges, 512 MiB" "f$big.bin" "$WINELOADER" "$bench_exe" "$https_url" 5 "Z:$out"
run "https curl 1 connection, 512 MiB" "f$big.bin" curl -s --cacert "$ca" -o "$out" "$https_url"
run "https aria2c -x5 -s5, 512 MiB" "f$big.bin" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --ca-certificate="$ca" --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$https_url"
rm -f "$out"
