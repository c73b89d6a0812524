#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, then runs every
# test under Wine (with a virtual display when none is set) through CTest,
# for the 32-bit build and then for the 64-bit one, one after the other.
#   scripts/test.sh [--arch x86|x64|all] [ctest arguments, e.g. -R Regex]
# Both trees are built whatever runs. On a machine that runs no 32-bit
# programs the 32-bit suite cannot run: the summary says so and why, the
# 64-bit suite runs whole, and its tests that need a 32-bit program report
# themselves skipped. Prints each architecture's CTest summary and, last, the
# total over those that ran; fails when any test fails or a suite that could
# run did not complete.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
. "$root/scripts/suites.sh"
. "$root/scripts/step.sh"
which=all
if [ "${1:-}" = --arch ]; then which=$2; shift 2; fi
arches=$(ravlix_arches "$which")
"$root/scripts/build.sh" "$which"
ravlix_say_32bit

for arch in $arches; do
  build=$(ravlix_build_dir "$arch")
  log=$build/ctest-summary.txt
  rm -f "$log"
  reason=$(ravlix_suite_not_run "$arch")
  if [ -n "$reason" ]; then
    echo "=== $arch tests: not run ($reason)"
    continue
  fi
  echo "=== $arch tests ($build)"
  # Each architecture in a session of its own: its prefix, its wineserver.
  (
    ravlix_use_arch "$arch"
    # The https peers' authority must be in the trust store before the wineserver starts.
    ravlix_step "making the test authority of the https peers" \
      bash "$root/tests/peers/tls-certs.sh" authority "$build/peers/tls"
    . "$root/scripts/session.sh"
    start_session
    cd "$build"
    ctest --output-on-failure -j"$(nproc)" "$@"
  ) 2>&1 | tee "$log" || true
done

# shellcheck disable=SC2086
ravlix_suite_summary $arches
