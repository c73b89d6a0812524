# Sourced by the benchmarks: the servers they download from, on free ports of
# 127.0.0.1. Needs root and work set and session.sh sourced. Sets
# nginx_port, python_port and generated_port; everything started here, the
# session included, is stopped on exit.
#   start_bench_peers SIZE...   (the files nginx and http.server serve)
start_bench_peers() {
  read -r nginx_port python_port generated_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(3)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
  bash "$root/tests/peers/peers.sh" start "$work/peers" "$nginx_port" "$python_port" "$@"
  setsid python3 "$root/tests/peers/generated-server.py" "$generated_port" </dev/null >"$work/generated.log" 2>&1 &
  bench_generated_pid=$!
  trap stop_bench_peers EXIT
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$generated_port/gen/1.bin" && break; sleep 0.1; done
}

# Also removes the copies and the generated files written into nginx's docroot.
stop_bench_peers() {
  kill "$bench_generated_pid" 2>/dev/null || true
  rm -f "$work"/peers/docroot/g*.bin "$work/out/copy.bin" "$work/out/copy.bin.hhh"
  bash "$root/tests/peers/peers.sh" stop "$work/peers"
  stop_session
}
