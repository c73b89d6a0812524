#!/usr/bin/env bash
# What the big-file tests need beside the peers of peers.sh:
#   bigfiles.sh start DIR PORT DOCROOT WINEPREFIX
#   bigfiles.sh stop DIR DOCROOT WINEPREFIX
# start runs generated-server.py on 127.0.0.1:PORT, writes DOCROOT/sparse.bin
# (2^32 + 65537 bytes, sparse, with random 64 KiB markers across 2^31 and
# 2^32 and at its end) for nginx, and mounts a 64 MiB tmpfs on DIR/smalldisk,
# seen by Wine as drive R:. stop undoes all three. Mounting needs root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
sparse_size=$(((1 << 32) + 65537))

stop() {
  local docroot=$1 prefix=$2 pid
  if [ -f "$dir/generated.pid" ]; then
    pid=$(cat "$dir/generated.pid")
    if grep -qa generated-server "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/generated.pid"
  fi
  rm -f "$docroot/sparse.bin"
  if mountpoint -q "$dir/smalldisk"; then
    umount "$dir/smalldisk"
  fi
  rm -f "$prefix/dosdevices/r:"
}

start() {
  local port=$1 docroot=$2 prefix=$3
  stop "$docroot" "$prefix"
  setsid python3 "$here/generated-server.py" "$port" </dev/null >"$dir/generated.log" 2>&1 &
  echo $! >"$dir/generated.pid"

  mkdir -p "$docroot"
  python3 - "$docroot/sparse.bin" "$sparse_size" <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
marks = random.Random(size)
with open(path, "wb") as out:
    out.truncate(size)
    for at in (2**31 - 32768, 2**32 - 32768, size - 65536):
        out.seek(at)
        out.write(marks.randbytes(65536))
PY

  mkdir -p "$dir/smalldisk" "$prefix/dosdevices"
  mount -t tmpfs -o size=64m ravlix-smalldisk "$dir/smalldisk"
  ln -sfn "$dir/smalldisk" "$prefix/dosdevices/r:"

  for _ in $(seq 100); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/gen/1.bin"; then
      return 0
    fi
    sleep 0.1
  done
  echo "generated-server.py did not answer on 127.0.0.1:$port" >&2
  return 1
}

case "$command" in
  start) start "$3" "$4" "$5" ;;
  stop) stop "$3" "$4" ;;
  *) echo "usage: bigfiles.sh start DIR PORT DOCROOT WINEPREFIX | stop DIR DOCROOT WINEPREFIX" >&2; exit 2 ;;
esac
