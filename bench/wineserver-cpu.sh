# Sourced by the benchmarks: server_cpu prints the CPU seconds the wineserver
# of $WINEPREFIX has used so far. Under Wine every socket and file call is
# partly served by it, so its share during a run belongs to that run's cost.
wineserver_pid=$(for p in $(pgrep wineserver); do
  if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then echo "$p"; fi
done | head -1)
server_cpu() {
  [ -n "$wineserver_pid" ] || { echo 0; return; }
  awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$wineserver_pid/stat"
}
