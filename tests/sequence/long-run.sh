#!/usr/bin/env bash
# The long run of the sequence test: SEEDS seeds from FIRST, STEPS steps each,
# one CTest run per seed (with the peers as fixture), on the build that
# RAVLIX_ARCH names (unless set: x86, or x64 on a machine that runs no 32-bit
# programs, said in one line). A failing seed's output stays in
# build/sequence-runs/seed-N.log; the last line sums up.
#   bash tests/sequence/long-run.sh [FIRST=1] [SEEDS=20] [STEPS=300]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
first=${1:-1}
seeds=${2:-20}
steps=${3:-300}
. "$root/scripts/arch.sh"
arch=${RAVLIX_ARCH:-$(ravlix_main_job_arch x86)}
logs=$root/build/sequence-runs
mkdir -p "$logs"
failed=()
for ((seed = first; seed < first + seeds; seed++)); do
  log=$logs/seed-$seed.log
  # About a second a step when the machine is idle; the drain after them up
  # to a minute. The suite's 300 s would end a busy machine's run in its drain.
  if RAVLIX_SEQUENCE_SEED=$seed RAVLIX_SEQUENCE_STEPS=$steps RAVLIX_SEQUENCE_RUNS=1 \
    RAVLIX_TEST_TIMEOUT=$((steps * 3 + 300)) \
    bash "$root/scripts/test.sh" --arch "$arch" -R '^Sequence\.' >"$log" 2>&1; then
    echo "seed $seed: passed"
    rm -f "$log"
  else
    echo "seed $seed: FAILED, see $log"
    grep '^VIOLATION' "$log" | sed 's/^/  /'
    failed+=("$seed")
  fi
done
echo "sequence long run: $((seeds - ${#failed[@]})) of $seeds seeds passed${failed[*]:+; failed: ${failed[*]}}"
[ ${#failed[@]} -eq 0 ]
