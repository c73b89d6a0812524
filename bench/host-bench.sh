#!/usr/bin/env bash
# The plug-in as users meet it: RavlixHost.exe under Wine (process start,
# floating window, download, rename) with 1 and 5 connections, the 32-bit
# build's host and the 64-bit build's host side by side (both in the 64-bit
# prefix, as on 64-bit Windows, where 32-bit hosts run under WoW64), beside curl
# and aria2c -x5 -s5, on a 512 MiB file from a local nginx and on a 64 MiB
# file from nginx's location with limit_rate 2m per connection. Prints wall
# time, CPU time (user + system, the wineserver's share included for the
# host), peak memory, and wall and CPU time as ratios to aria2c; checks every
# copy's SHA-256. Figures, not a test. Usage: bench/host-bench.sh (builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/build.sh" all >/dev/null
build=$(ravlix_build_dir x64)
work=$build/host-bench
mkdir -p "$work/out"

ravlix_use_arch x64
. "$root/scripts/session.sh"
start_session

read -r nginx_port python_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
big=536870912
slow=67108864
bash "$root/tests/peers/peers.sh" start "$work/peers" "$nginx_port" "$python_port" 1 $big $slow
trap 'bash "$root/tests/peers/peers.sh" stop "$work/peers"; stop_session' EXIT

. "$root/bench/wineserver-cpu.sh"

out=$work/out/copy.bin
rows=()
run() {
  local label=$1 file=$2
  shift 2
  rm -f "$out" "$out.hhh"
  local before after
  before=$(server_cpu)
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>&1 </dev/null || {
    echo "$label failed:"; cat "$work/stdout.txt"; }
  after=$(server_cpu)
  local check="MISMATCH"
  [ -f "$out" ] && [ "$(sha256sum <"$out" | cut -d' ' -f1)" = "$(sha256sum <"$work/peers/docroot/$file" | cut -d' ' -f1)" ] && check=ok
  read -r wall user sys rss <"$work/time.txt"
  local cpu
  cpu=$(awk -v u="$user" -v s="$sys" -v a="$after" -v b="$before" 'BEGIN {printf "%.2f", u + s + a - b}')
  rows+=("$label|$wall|$cpu|$((rss / 1024))|$check")
}

host_x86=(wine "$(ravlix_build_dir x86)/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin
  --connections)
host_x64=(wine "$(ravlix_build_dir x64)/bin/RavlixHost.exe" --exit-when-done --folder "Z:$work/out" --name copy.bin
  --connections)
aria=(aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false
  -d "$work/out" -o copy.bin)

# Prints one group of rows with the ratios to its aria2c row (the last one).
table() {
  local title=$1
  IFS='|' read -r _ aria_wall aria_cpu _ _ <<<"${rows[-1]}"
  echo "$title"
  printf '  %-30s %8s %8s %9s %11s %10s  %s\n' case wall_s cpu_s peak_MiB wall/aria2c cpu/aria2c sha256
  for row in "${rows[@]}"; do
    IFS='|' read -r label wall cpu peak check <<<"$row"
    printf '  %-30s %8s %8s %9s %11.2f %10.2f  %s\n' "$label" "$wall" "$cpu" "$peak" \
      "$(awk -v a="$wall" -v b="$aria_wall" 'BEGIN {print (b > 0 ? a / b : 0)}')" \
      "$(awk -v a="$cpu" -v b="$aria_cpu" 'BEGIN {print (b > 0 ? a / b : 0)}')" "$check"
  done
  rows=()
}

url="http://127.0.0.1:$nginx_port/f$big.bin"
run "RavlixHost x86 1 connection" "f$big.bin" "${host_x86[@]}" 1 "$url"
run "RavlixHost x86 5 connections" "f$big.bin" "${host_x86[@]}" 5 "$url"
run "RavlixHost x64 1 connection" "f$big.bin" "${host_x64[@]}" 1 "$url"
run "RavlixHost x64 5 connections" "f$big.bin" "${host_x64[@]}" 5 "$url"
run "curl" "f$big.bin" curl -s -o "$out" "$url"
run "aria2c -x5 -s5" "f$big.bin" "${aria[@]}" "$url"
table "512 MiB from local nginx"

slow_url="http://127.0.0.1:$nginx_port/slow/f$slow.bin"
run "RavlixHost x86 1 connection" "f$slow.bin" "${host_x86[@]}" 1 "$slow_url"
run "RavlixHost x86 5 connections" "f$slow.bin" "${host_x86[@]}" 5 "$slow_url"
run "RavlixHost x64 1 connection" "f$slow.bin" "${host_x64[@]}" 1 "$slow_url"
run "RavlixHost x64 5 connections" "f$slow.bin" "${host_x64[@]}" 5 "$slow_url"
run "curl" "f$slow.bin" curl -s -o "$out" "$slow_url"
run "aria2c -x5 -s5" "f$slow.bin" "${aria[@]}" "$slow_url"
table "64 MiB from nginx with limit_rate 2m per connection"
rm -f "$out"
