#!/usr/bin/env bash
# Runs a command with name resolution of its own, for the tests of what real
# networks do:
# - dual.ravlix.test resolves to ::1 first and to 127.0.0.1 after it, as a
#   name of a dual-stack server does;
# - every name the hosts file does not hold goes to a DNS server that takes
#   the query and never answers (a local socket), so that its resolution
#   hangs for real, as behind a broken resolver.
# The command alone sees this: it runs in a mount namespace of its own, where
# the two files are bind-mounted over /etc/hosts and /etc/resolv.conf. The
# machine's files are untouched, and the namespace ends with the command.
# Where no such namespace can be made (not root, no unshare), the command
# does not run and the exit status is 77, which CTest reports as skipped.
#   private-names.sh COMMAND [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
# Listing a test program's cases needs none of it.
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "SKIPPED: no mount namespace of our own can be made here" >&2
  exit 77
fi
dir=$(mktemp -d)
trap 'kill "$silent" 2>/dev/null; wait "$silent" 2>/dev/null; rm -rf "$dir"' EXIT
# A loopback address of its own for each run, so that runs side by side do not meet.
for _ in 1 2 3 4 5; do
  address="127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))"
  python3 "$here/silent-dns.py" "$address" >"$dir/dns.out" 2>&1 &
  silent=$!
  for _ in $(seq 50); do
    grep -q ready "$dir/dns.out" 2>/dev/null && break
    kill -0 "$silent" 2>/dev/null || break
    sleep 0.05
  done
  grep -q ready "$dir/dns.out" && break
  wait "$silent" 2>/dev/null
done
printf '127.0.0.1 localhost\n::1 dual.ravlix.test\n127.0.0.1 dual.ravlix.test\n' >"$dir/hosts"
printf 'nameserver %s\noptions timeout:30 attempts:1\n' "$address" >"$dir/resolv.conf"
unshare --mount --propagation private bash -c '
  mount --bind "$1/hosts" /etc/hosts && mount --bind "$1/resolv.conf" /etc/resolv.conf || exit 77
  shift
  exec "$@"' private-names "$dir" "$@"
