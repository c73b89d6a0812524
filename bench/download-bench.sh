#!/usr/bin/env bash
# Download benchmark: one 512 MiB file from a local nginx through the
# plug-in's transfer engine (1 and 5 connections), through Netquill.dll alone
# (a probe, then 5 range requests in callback mode into a mapped file), with
# curl (one connection) and with aria2c -x5 -s5; then a 64 MiB file from a
# location with limit_rate 2m, over 1 and over 5 connections. Prints wall
# time, CPU time and peak memory side by side and checks every copy's SHA-256.
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
# Wine reads the trust store when its wineserver starts.
bash "$root/tests/peers/tls-certs.sh" authority "$work/peers/tls"
. "$root/scripts/session.sh"
start_session

# Two free ports on 127.0.0.1, picked by the system, and six in a row for https.
read -r nginx_port python_port tls_port < <(python3 -c '
import random, socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
def free_run():
    while True:
        base = random.randrange(40000, 60000)
        try:
            for p in range(base, base + 6):
                t = socket.socket(); t.bind(("127.0.0.1", p)); t.close()
            return base
        except OSError:
            pass
print(*[x.getsockname()[1] for x in s], free_run())')
big=536870912
slow=67108864
RAVLIX_TLS_PORT=$tls_port bash "$root/tests/peers/peers.sh" start "$work/peers" "$nginx_port" "$python_port" 1 $big $slow
trap 'bash "$root/tests/peers/peers.sh" stop "$work/peers"; stop_session' EXIT

. "$root/bench/wineserver-cpu.sh"

printf '%-34s %8s %8s %8s %10s %12s  %s\n' case wall_s user_s sys_s peak_MiB wineserver_s sha256
run() {
  local label=$1 file=$2 output=$3
  shift 3
  rm -f "$output"
  local before after
  before=$(server_cpu)
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
    echo "$label failed:"; cat "$work/stderr.txt"; }
  after=$(server_cpu)
  local check="MISMATCH"
  [ "$(sha256sum <"$output" | cut -d' ' -f1)" = "$(sha256sum <"$work/peers/docroot/$file" | cut -d' ' -f1)" ] && check=ok
  read -r wall user sys rss <"$work/time.txt"
  printf '%-34s %8s %8s %8s %10d %12.2f  %s\n' "$label" "$wall" "$user" "$sys" $((rss / 1024)) \
    "$(awk -v a="$after" -v b="$before" 'BEGIN {print a - b}')" "$check"
}

bench_exe="$build/bin/NetquillBench.exe"
plugin_exe="$build/bin/PluginBench.exe"
url="http://127.0.0.1:$nginx_port/f$big.bin"
out=$work/out/copy.bin
folder="Z:$work/out\\"
if [ "$only" != https ]; then
run "Plug-in 1 connection, 512 MiB" "f$big.bin" "$out" wine "$plugin_exe" "$url" 1 "$folder" copy.bin
run "Plug-in 5 connections, 512 MiB" "f$big.bin" "$out" wine "$plugin_exe" "$url" 5 "$folder" copy.bin
run "Netquill 5 ranges, 512 MiB" "f$big.bin" "$out" wine "$bench_exe" "$url" 5 "Z:$out"
run "curl 1 connection, 512 MiB" "f$big.bin" "$out" curl -s -o "$out" "$url"
run "aria2c -x5 -s5, 512 MiB" "f$big.bin" "$out" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$url"

slow_url="http://127.0.0.1:$nginx_port/slow/f$slow.bin"
run "Plug-in 1 connection, 64 MiB @2m" "f$slow.bin" "$out" wine "$plugin_exe" "$slow_url" 1 "$folder" copy.bin
run "Plug-in 5 connections, 64 MiB @2m" "f$slow.bin" "$out" wine "$plugin_exe" "$slow_url" 5 "$folder" copy.bin
run "Netquill 1 range, 64 MiB @2m" "f$slow.bin" "$out" wine "$bench_exe" "$slow_url" 1 "Z:$out"
run "Netquill 5 ranges, 64 MiB @2m" "f$slow.bin" "$out" wine "$bench_exe" "$slow_url" 5 "Z:$out"
run "curl 1 connection, 64 MiB @2m" "f$slow.bin" "$out" curl -s -o "$out" "$slow_url"
run "aria2c -x5 -s5, 64 MiB @2m" "f$slow.bin" "$out" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$slow_url"
fi

https_url="https://localhost:$tls_port/f$big.bin"
ca=$work/peers/tls/ca.crt
run "https Plug-in 5 connections, 512 MiB" "f$big.bin" "$out" wine "$plugin_exe" "$https_url" 5 "$folder" copy.bin
run "https Netquill 5 ranges, 512 MiB" "f$big.bin" "$out" wine "$bench_exe" "$https_url" 5 "Z:$out"
run "https curl 1 connection, 512 MiB" "f$big.bin" "$out" curl -s --cacert "$ca" -o "$out" "$https_url"
run "https aria2c -x5 -s5, 512 MiB" "f$big.bin" "$out" aria2c -q -x5 -s5 -k1M --file-allocation=none \
  --ca-certificate="$ca" --allow-overwrite=true --auto-file-renaming=false -d "$work/out" -o copy.bin "$https_url"
rm -f "$out"
