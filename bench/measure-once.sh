# Sourced by the benchmarks once their Wine session runs; needs root and work
# set. measure_once OUT WANT COMMAND... runs the command once, standard input
# closed, and sets:
#   once_wall, once_cpu  seconds; CPU is user + system, the wineserver's share
#                        included (see wineserver-cpu.sh);
#   once_peak            the command's peak resident memory in MiB;
#   once_peak_kib        the same in KiB;
#   once_own             the download's own time as RavlixHost prints it
#                        (its "file ... bytes N s" line), "-" for other programs;
#   once_check           "ok" when OUT's SHA-256 is WANT, else "MISMATCH".
. "$root/bench/wineserver-cpu.sh"

measure_once() {
  local out=$1 want=$2
  shift 2
  rm -f "$out" "$out.hhh"
  local before after user sys rss
  before=$(server_cpu)
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>&1 </dev/null || {
    echo "$* failed:" >&2; cat "$work/stdout.txt" >&2; }
  after=$(server_cpu)
  read -r once_wall user sys rss <"$work/time.txt"
  once_cpu=$(awk -v u="$user" -v s="$sys" -v a="$after" -v b="$before" 'BEGIN {printf "%.2f", u + s + a - b}')
  once_peak_kib=$rss
  once_peak=$((rss / 1024))
  once_own=$(awk '/^file .* bytes .* s / {for (i = 1; i < NF; i++) if ($(i + 1) == "s") t = $i} END {print (t == "" ? "-" : t)}' "$work/stdout.txt")
  once_check=MISMATCH
  [ -f "$out" ] && [ "$(sha256sum <"$out" | cut -d' ' -f1)" = "$want" ] && once_check=ok
  return 0
}
