# Sourced by the benchmarks: their Wine session and the servers they download
# from, on free ports of 127.0.0.1. Needs root and work set and the
# architecture chosen (ravlix_use_arch). Sets nginx_port, python_port,
# generated_port and, with --tls, tls_port; everything started here, the
# session included, is stopped on exit.
#   start_bench_peers [--tls] SIZE...   (the files nginx and http.server serve)
# --tls: nginx serves them over https too, at https://localhost:$tls_port/
# with a certificate of the test authority $work/peers/tls/ca.crt (the five
# ports after it hold the tests' other https peers, see tests/peers/peers.sh).
. "$root/scripts/session.sh"

start_bench_peers() {
  local tls=0
  if [ "${1:-}" = --tls ]; then tls=1; shift; fi
  # Wine reads the trust store when its wineserver starts.
  [ "$tls" = 0 ] || bash "$root/tests/peers/tls-certs.sh" authority "$work/peers/tls"
  start_session
  # Set before anything starts, so that a start that fails stops what it began.
  trap stop_bench_peers EXIT
  # The system picks the single ports; peers.sh wants https's six in a row,
  # so those are tried at random. All are held while picking: none is given twice.
  read -r nginx_port python_port generated_port tls_port < <(python3 -c '
import random, socket, sys
s = [socket.socket() for _ in range(3)]
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
print(*[x.getsockname()[1] for x in s], free_run() if sys.argv[1] == "1" else "")' "$tls")
  RAVLIX_TLS_PORT=$tls_port bash "$root/tests/peers/peers.sh" start "$work/peers" "$nginx_port" "$python_port" "$@"
  setsid python3 "$root/tests/peers/generated-server.py" "$generated_port" </dev/null >"$work/generated.log" 2>&1 &
  bench_generated_pid=$!
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$generated_port/gen/1.bin" && break; sleep 0.1; done
}

# Also removes the copies and the generated files written into nginx's docroot.
stop_bench_peers() {
  [ -z "${bench_generated_pid:-}" ] || kill "$bench_generated_pid" 2>/dev/null || true
  rm -f "$work"/peers/docroot/g*.bin "$work/out/copy.bin" "$work/out/copy.bin.hhh"
  bash "$root/tests/peers/peers.sh" stop "$work/peers"
  stop_session
}

# The SHA-256 of FILE in nginx's docroot, for measure_once.
peer_digest() { sha256sum <"$work/peers/docroot/$1" | cut -d' ' -f1; }
