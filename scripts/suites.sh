# Sourced by test.sh: which architectures' test suites run on this machine,
# and the summary over them. Needs arch.sh (which sources wine-loader.sh).

# Why the suite of ARCH cannot run here, or nothing when it can: the 32-bit
# suite needs a machine that runs 32-bit programs. Its tree is built all the
# same, so that a compile error in it is still caught.
ravlix_suite_not_run() {
  ravlix_find_32bit
  if [ "$1" = x86 ] && [ "$RAVLIX_RUNS_32BIT" = no ]; then
    echo "$RAVLIX_NO_32BIT_REASON"
  fi
}

# The summary of the suites of the architectures named (x86 x64), each read
# from the CTest output kept in its build tree's ctest-summary.txt; then the
# total over them in CTest's words. Returns non-zero unless every suite that
# could run did, and passed, and at least one test ran.
ravlix_suite_summary() {
  local arch reason log line failed=0 total=0 status=0 f t not_run=""
  echo
  echo "=== Summary"
  for arch in "$@"; do
    reason=$(ravlix_suite_not_run "$arch")
    if [ -n "$reason" ]; then
      echo "$arch: not run: $reason"
      not_run+="$arch "
      continue
    fi
    log=$(ravlix_build_dir "$arch")/ctest-summary.txt
    line=$(grep -E '^[0-9]+% tests passed' "$log" 2>/dev/null | tail -n 1 || true)
    if [ -z "$line" ]; then
      echo "$arch: no CTest summary (the run did not complete)"
      status=1
      continue
    fi
    echo "$arch: $line"
    ravlix_skipped_tests "$log" | sed "s/^/$arch:   skipped: /"
    if [ "$arch" = x64 ] && [ "$RAVLIX_RUNS_32BIT" = no ]; then
      echo "$arch:   (its tests that need a 32-bit program are among the skipped: $RAVLIX_NO_32BIT_REASON)"
    fi
    read -r f t < <(echo "$line" | sed -nE 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1 \2/p')
    failed=$((failed + ${f:-0})) total=$((total + ${t:-0}))
  done
  if [ -z "$not_run" ]; then
    echo "Every suite asked for ran ($*)."
  else
    echo "Not run: ${not_run% } (see above); what ran is counted below."
  fi
  [ "$total" -gt 0 ] || status=1
  [ "$failed" -eq 0 ] || status=1
  echo "$(( total > 0 ? (total - failed) * 100 / total : 0 ))% tests passed, $failed tests failed out of $total"
  return "$status"
}

# The tests CTest reported as skipped in a log, one a line.
ravlix_skipped_tests() {
  sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \(Skipped\)$/\1/p' "$1"
}
