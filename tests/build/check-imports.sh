#!/usr/bin/env bash
# Fails when a product DLL needs anything beyond Windows system DLLs: the
# MinGW runtime (libgcc, libstdc++, winpthread) must be linked in statically.
# Ravlix.dll may import the two component libraries, by ordinal only.
set -u
objdump=$1; bin=$2
status=0
for dll in Ravlix.dll Facetta.dll Netquill.dll; do
  names=$("$objdump" -p "$bin/$dll" | awk '/DLL Name:/ {print $3}')
  [ -n "$names" ] || { echo "$dll: no import table read"; status=1; }
  for name in $names; do
    case "$name" in
      libgcc*|libstdc++*|libwinpthread*|*mingw*) echo "$dll needs $name"; status=1 ;;
      Facetta.dll|Netquill.dll)
        if [ "$dll" != Ravlix.dll ]; then echo "$dll imports $name"; status=1; fi ;;
      *)
        if [ ! -f "/usr/lib/i386-linux-gnu/wine/i386-windows/$(echo "$name" | tr 'A-Z' 'a-z')" ] \
           && [ ! -f "/usr/lib/wine/i386-windows/$(echo "$name" | tr 'A-Z' 'a-z')" ]; then
          echo "$dll needs $name, which is not a Windows system DLL"; status=1
        fi ;;
    esac
  done
done
# The component imports are by ordinal: no member names for them.
for lib in Facetta.dll Netquill.dll; do
  entries=$("$objdump" -p "$bin/Ravlix.dll" | awk -v lib="$lib" '
    $0 ~ "DLL Name: " lib {inside=1; next}
    inside && /DLL Name:/ {inside=0}
    inside && /^\t[0-9a-f]+\t/ {print}')
  if [ -z "$entries" ]; then echo "Ravlix.dll does not import $lib"; status=1; fi
  if echo "$entries" | grep -qv '<none>'; then echo "Ravlix.dll imports $lib by name: $entries"; status=1; fi
done
[ $status -eq 0 ] && echo "imports ok"
exit $status
