#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, then runs every
# test under Wine (with a virtual display when none is set) through CTest,
# for the 32-bit build and then for the 64-bit one, one after the other.
#   scripts/test.sh [--arch x86|x64|all] [ctest arguments, e.g. -R Regex]
# Prints each architecture's CTest summary and, last, the total over both;
# fails when any test of either fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
which=all
if [ "${1:-}" = --arch ]; then which=$2; shift 2; fi
arches=$(ravlix_arches "$which")
"$root/scripts/build.sh" "$which"

summaries=()
status=0
for arch in $arches; do
  build=$(ravlix_build_dir "$arch")
  echo "=== $arch tests ($build)"
  log=$build/ctest-summary.txt
  # Each architecture in a session of its own: its prefix, its wineserver.
  (
    ravlix_use_arch "$arch"
    # The https peers' authority must be in the trust store before the wineserver starts.
    bash "$root/tests/peers/tls-certs.sh" authority "$build/peers/tls"
    . "$root/scripts/session.sh"
    start_session
    cd "$build"
    ctest --output-on-failure -j"$(nproc)" "$@"
  ) | tee "$log" || status=1
  line=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1 || true)
  [ -n "$line" ] || { status=1; line="no CTest summary (the run did not complete)"; }
  summaries+=("$arch: $line")
done

echo
echo "=== Summary"
passed=0 failed=0 total=0
for line in "${summaries[@]}"; do
  echo "$line"
  read -r f t < <(echo "$line" | sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1 \2/p')
  failed=$((failed + ${f:-0})) total=$((total + ${t:-0}))
done
[ "$total" -gt 0 ] || status=1
passed=$((total - failed))
echo "$(( total > 0 ? passed * 100 / total : 0 ))% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ] || status=1
exit $status
