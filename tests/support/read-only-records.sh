#!/usr/bin/env bash
# CTest's launcher for the tests of records a standard user can write: the
# test program runs where the settings file in the Windows directory and the
# history file beside the program are there but refuse every write, as they
# do for a standard user on Windows. Each is a file of the test's own,
# bind-mounted read-only over the name the plug-in uses, in a mount namespace
# of the test's own (permission bits do not stop root); the test fills them
# through their own names, given in RAVLIX_READ_ONLY_SETTINGS and
# RAVLIX_READ_ONLY_HISTORY. The user's folder for records (AppData\Local\
# Ravlix) is a scratch folder that goes with the namespace. The program runs
# in a Wine prefix of its own, whose wineserver, which opens and renames
# files for it, starts inside the namespace. Where no such namespace can be
# made, the exit status is 77, which CTest reports as skipped.
#   cmake -E env ... .../wine-run PREFIX PROGRAM [ARGS...] as the command
set -u
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "SKIPPED: no mount namespace of our own can be made here" >&2
  exit 77
fi
. "$(dirname "$0")/private-prefix.sh"
args=("$@")
for i in "${!args[@]}"; do
  case "${args[$i]}" in */wine-run) prefix=${args[$((i + 1))]}; program=${args[$((i + 2))]}; break ;; esac
done
[ -n "${prefix:-}" ] || { echo "no wine-run PREFIX PROGRAM in: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
: >"$scratch/KELMORA.ini"
: >"$scratch/Vorazuvud.ini"
mkdir "$scratch/user-folder"
# The private prefix shares the project prefix's drive C:.
export RECORDS_WINDOWS=$prefix/drive_c/windows
export RECORDS_LOCAL=$prefix/drive_c/users/$(id -un)/AppData/Local
export RECORDS_BIN=$(dirname "$program")
export RECORDS_SCRATCH=$scratch
export RAVLIX_READ_ONLY_SETTINGS="Z:${scratch//\//\\}\\KELMORA.ini"
export RAVLIX_READ_ONLY_HISTORY="Z:${scratch//\//\\}\\Vorazuvud.ini"
touch "$RECORDS_WINDOWS/KELMORA.ini" "$RECORDS_BIN/Vorazuvud.ini"
mkdir -p "$RECORDS_LOCAL/Ravlix"
run_in_private_prefix records "" fresh unshare --mount --propagation private bash -c '
  mount --bind -o ro "$RECORDS_SCRATCH/KELMORA.ini" "$RECORDS_WINDOWS/KELMORA.ini" &&
    mount --bind -o ro "$RECORDS_SCRATCH/Vorazuvud.ini" "$RECORDS_BIN/Vorazuvud.ini" &&
    mount --bind "$RECORDS_SCRATCH/user-folder" "$RECORDS_LOCAL/Ravlix" || exit 77
  exec "$@"' read-only-records "$@"
