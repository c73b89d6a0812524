#!/usr/bin/env bash
# The scripts' choice of Wine loader and their 32-bit check, run against
# stand-in loaders: a 32-bit loader that the kernel refuses as on a machine
# that runs no 32-bit code, one that works, and a missing one. For each, what
# the main job runs, which suites the test command runs and what its summary
# says, and how a prefix that cannot be made is reported.
# Usage: wine-choice-test.sh SOURCE_ROOT
set -uo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL [$case_name]: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
expect_has() { [[ "$2" == *"$3"* ]] || fail "$1: expected it to contain '$3', got: $2"; }
expect_lacks() { [[ "$2" != *"$3"* ]] || fail "$1: expected no '$3' in: $2"; }

# The stand-ins. A loader that records how it was started and what it was
# told to run; one that fails as a loader of a missing runtime would.
mkdir -p "$work/loaders"
cat >"$work/loaders/recording" <<'STANDIN'
#!/usr/bin/env bash
echo "$(basename "$0") WINELOADER=$WINELOADER WINEPREFIX=$WINEPREFIX $*" >>"$RECORD"
[ "${1:-}" != --version ] || echo "wine-8.0 (stand-in)"
STANDIN
chmod +x "$work/loaders/recording"
cp "$work/loaders/recording" "$work/loaders/wine32-works"
cp "$work/loaders/recording" "$work/loaders/wine64"
# What the kernel of a machine without IA-32 emulation does with the 32-bit
# loader: execve fails with ENOEXEC, the shell says "Exec format error" and
# gives status 126. A file that starts like an ELF image and is none does the
# same on every machine.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$work/loaders/wine32-refused"
chmod +x "$work/loaders/wine32-refused"
printf '#!/bin/sh\necho "wine: could not load ntdll.so: stand-in failure" >&2\nexit 1\n' >"$work/loaders/wine64-broken"
chmod +x "$work/loaders/wine64-broken"

# Runs BODY (a function name) in a clean shell with the stand-ins named by the
# case: what the scripts found out before (exported by test.sh) is forgotten.
run_case() {
  case_name=$1 wine32=$2 body=$3
  (
    unset RAVLIX_RUNS_32BIT RAVLIX_NO_32BIT_REASON WINELOADER WINEPREFIX WINEARCH
    export RAVLIX_WINE32_LOADER=$work/loaders/$wine32
    export RAVLIX_WINE64_LOADER=$work/loaders/wine64
    export RAVLIX_BUILD_DIR=$work/build-$case_name RECORD=$work/record-$case_name
    : >"$RECORD"
    . "$root/scripts/arch.sh"
    . "$root/scripts/suites.sh"
    "$body"
    exit "$failures"
  )
  failures=$((failures + $?))
}

# A CTest closing of a run, as test.sh keeps it.
ctest_log() {
  local arch=$1 failed=$2 total=$3
  mkdir -p "$RAVLIX_BUILD_DIR/$arch"
  {
    echo "$(( (total - failed) * 100 / total ))% tests passed, $failed tests failed out of $total"
    echo
    echo "The following tests did not run:"
    echo "        312 - CrossArchitectureTests.HandOver (Skipped)"
  } >"$RAVLIX_BUILD_DIR/$arch/ctest-summary.txt"
}

# The check and what follows from it, for each 32-bit loader.
check_machine() {
  local said arch lines
  ravlix_say_32bit 2>"$work/said"
  said=$(cat "$work/said")
  lines=$(wc -l <"$work/said")
  expect_eq "the check says one line" "$lines" 1
  ravlix_find_32bit
  expect_eq "RAVLIX_RUNS_32BIT" "$RAVLIX_RUNS_32BIT" "$want_runs"
  expect_has "the check's line" "$said" "$want_said"
  # Found out once: the loader is not started again (only the working
  # stand-in can count its starts).
  ravlix_find_32bit
  ravlix_say_32bit 2>/dev/null
  (ravlix_find_32bit)
  expect_eq "32-bit loader starts" "$(grep -c -- --version "$RECORD")" "$want_tries"

  # The main job.
  said=$(ravlix_main_job_arch x86 2>&1 >/dev/null)
  arch=$(ravlix_main_job_arch x86 2>/dev/null)
  expect_eq "main job's host" "$arch" "$want_main"
  if [ "$want_runs" = no ]; then
    expect_has "main job's line" "$said" "; running the 64-bit host"
    expect_has "main job's line" "$said" "$want_said"
  else
    expect_eq "main job's line" "$said" ""
  fi
  expect_eq "main job with --x64" "$(ravlix_main_job_arch x64 2>&1)" x64

  # The test command: its suites and its summary.
  expect_eq "the 64-bit suite runs" "$(ravlix_suite_not_run x64)" ""
  if [ "$want_runs" = no ]; then
    expect_has "why the 32-bit suite does not run" "$(ravlix_suite_not_run x86)" "$want_said"
  else
    expect_eq "the 32-bit suite runs" "$(ravlix_suite_not_run x86)" ""
  fi
  ctest_log x86 0 460
  ctest_log x64 0 461
  said=$(ravlix_suite_summary x86 x64)
  expect_eq "summary's status, all passed" "$?" 0
  if [ "$want_runs" = no ]; then
    expect_has "summary" "$said" "x86: not run: $RAVLIX_NO_32BIT_REASON"
    expect_has "summary" "$said" "x64:   skipped: CrossArchitectureTests.HandOver"
    expect_has "summary" "$said" "need a 32-bit program are among the skipped: $RAVLIX_NO_32BIT_REASON"
    expect_has "summary's total" "$said" $'\n100% tests passed, 0 tests failed out of 461'
  else
    expect_has "summary" "$said" "x86: 100% tests passed, 0 tests failed out of 460"
    expect_has "summary" "$said" "Every suite asked for ran (x86 x64)."
    expect_has "summary's total" "$said" $'\n100% tests passed, 0 tests failed out of 921'
  fi
  ctest_log x64 2 461
  ravlix_suite_summary x86 x64 >/dev/null
  expect_eq "summary's status, a failure in the 64-bit suite" "$?" 1
  rm "$RAVLIX_BUILD_DIR/x64/ctest-summary.txt"
  said=$(ravlix_suite_summary x86 x64)
  expect_eq "summary's status, a 64-bit run that did not complete" "$?" 1
  expect_has "summary" "$said" "x64: no CTest summary"
}

# Whatever the 32-bit loader does, each prefix runs through its own loader,
# never through Debian's wrapper; a prefix that cannot be made says why.
check_loaders() {
  local said status
  expect_eq "loader of win64" "$(ravlix_wine_loader win64)" "$RAVLIX_WINE64_LOADER"
  expect_eq "loader of win32" "$(ravlix_wine_loader win32)" "$RAVLIX_WINE32_LOADER"
  (
    export RAVLIX_WINEPREFIX=$work/prefix64-$case_name RAVLIX_WINEARCH=win64
    . "$root/scripts/wine-env.sh"
    wine Program.exe --flag
    wineboot -u
  )
  expect_has "wine in a 64-bit prefix" "$(cat "$RECORD")" "wine64 WINELOADER=$RAVLIX_WINE64_LOADER WINEPREFIX=$work/prefix64-$case_name Program.exe --flag"
  expect_has "wineboot in a 64-bit prefix" "$(cat "$RECORD")" "wine64 WINELOADER=$RAVLIX_WINE64_LOADER WINEPREFIX=$work/prefix64-$case_name wineboot.exe -u"
  # The 32-bit prefix: made by the 32-bit loader where it runs, refused
  # with the reason, before any loader starts, where it does not.
  said=$(
    export RAVLIX_WINEPREFIX=$work/prefix32-$case_name RAVLIX_WINEARCH=win32
    . "$root/scripts/wine-env.sh"
    ravlix_find_32bit
    if [ "$RAVLIX_RUNS_32BIT" = no ]; then ensure_wine_prefix 2>&1; else wine Other.exe; fi
  )
  status=$?
  if [ "$want_runs" = no ]; then
    expect_eq "making a 32-bit prefix here" "$status" 1
    expect_has "making a 32-bit prefix here" "$said" "FAILED: making the 32-bit Wine prefix"
    expect_lacks "loaders started for it" "$(cat "$RECORD")" "prefix32"
  else
    expect_has "wine in a 32-bit prefix" "$(cat "$RECORD")" "wine32-works WINELOADER=$RAVLIX_WINE32_LOADER WINEPREFIX=$work/prefix32-$case_name Other.exe"
  fi
  # A 64-bit loader that cannot make the prefix: what failed, the command,
  # and the loader's own words, and a non-zero status.
  said=$(
    export RAVLIX_WINE64_LOADER=$work/loaders/wine64-broken
    export RAVLIX_WINEPREFIX=$work/broken-$case_name RAVLIX_WINEARCH=win64
    . "$root/scripts/wine-env.sh"
    ensure_wine_prefix 2>&1
  )
  status=$?
  expect_eq "status of a prefix that cannot be made" "$status" 1
  expect_has "report of a prefix that cannot be made" "$said" "FAILED: making the Wine prefix $work/broken-$case_name with $work/loaders/wine64-broken"
  expect_has "report of a prefix that cannot be made" "$said" "command: wineboot -i"
  expect_has "report of a prefix that cannot be made" "$said" "wine: could not load ntdll.so: stand-in failure"
}

both() { check_machine; check_loaders; }

# case                      32-bit loader   runs  says                                      tries main
table=(
  "no-32-bit-code           wine32-refused  no    this machine runs no 32-bit programs      0     x64"
  "runs-32-bit-code         wine32-works    yes   this machine runs 32-bit programs         1     x86"
  "no-32-bit-loader         wine32-missing  no    is missing                                0     x64"
)
for row in "${table[@]}"; do
  read -r name wine32 want_runs rest <<<"$row"
  want_said=$(echo "$rest" | sed -E 's/ +[0-9]+ +x(86|64)$//')
  read -r want_tries want_main < <(echo "$rest" | grep -oE '[0-9]+ +x(86|64)$')
  run_case "$name" "$wine32" both
done

if [ "$failures" -eq 0 ]; then
  echo "every case of the loader choice and the 32-bit check holds (${#table[@]} machines)"
fi
[ "$failures" -eq 0 ]
