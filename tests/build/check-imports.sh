#!/usr/bin/env bash
# Fails when a product DLL needs anything beyond Windows system DLLs: the
# MinGW runtime (libgcc, libstdc++, winpthread) must be linked in statically.
# Ravlix.dll may import the two component libraries, by ordinal 1 only.
# The system DLLs that only dialogs and TLS need are loaded on first use, not
# with the plug-in: no product DLL imports them.
# Usage: check-imports.sh OBJDUMP BIN WINE_DLL_FOLDER (i386-windows for the
# 32-bit build, x86_64-windows for the 64-bit one: where Wine keeps the
# system DLLs of that architecture).
set -u
objdump=$1; bin=$2; system=$3
status=0
for dll in Ravlix.dll Facetta.dll Netquill.dll; do
  names=$("$objdump" -p "$bin/$dll" | awk '/DLL Name:/ {print $3}')
  [ -n "$names" ] || { echo "$dll: no import table read"; status=1; }
  for name in $names; do
    lower=$(echo "$name" | tr 'A-Z' 'a-z')
    case "$lower" in
      libgcc*|libstdc++*|libwinpthread*|*mingw*) echo "$dll needs $name"; status=1 ;;
      comctl32.dll|comdlg32.dll|shell32.dll|ole32.dll|secur32.dll)
        echo "$dll imports $name, which it should load when first needed"; status=1 ;;
      facetta.dll|netquill.dll)
        if [ "$dll" != Ravlix.dll ]; then echo "$dll imports $name"; status=1; fi ;;
      *)
        if [ -z "$(ls /usr/lib/*/wine/"$system/$lower" /usr/lib/wine/"$system/$lower" 2>/dev/null)" ]; then
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
  # The hint/ordinal column: ordinal 1 and nothing else.
  if echo "$entries" | awk '$2 + 0 != 1 {bad = 1} END {exit !bad}'; then
    echo "Ravlix.dll imports $lib by an ordinal other than 1: $entries"; status=1
  fi
done
[ $status -eq 0 ] && echo "imports ok"
exit $status
