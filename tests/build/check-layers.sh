#!/usr/bin/env bash
# Fails when a source file includes a folder its layer may not see. The
# plug-in's layers, lowest first: util, store (the settings file's formats),
# transfer (the engine), ui (the window and dialogs), plugin (the exports and
# what ties the rest together); each sees its own folder and those below it.
# components (the contracts of the two component libraries) sits beside
# util; facetta and netquill, the libraries themselves, see only their own
# folder, components and util. res (resource numbers) and include (the
# plug-in's public header) are for anyone.
# Usage: check-layers.sh SOURCE_ROOT
set -u
root=$1
declare -A allowed=(
  [util]="util"
  [components]="components util"
  [store]="store util"
  [transfer]="transfer store components util"
  [ui]="ui transfer store components util"
  [plugin]="plugin ui transfer store components util"
  [facetta]="facetta components util"
  [netquill]="netquill components util"
)
status=0
for layer in "${!allowed[@]}"; do
  for file in "$root/$layer"/*.h "$root/$layer"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r folder; do
      case " ${allowed[$layer]} res " in
        *" $folder "*) ;;
        *) echo "${file#$root/} includes $folder/, which $layer/ may not see"; status=1 ;;
      esac
    done < <(sed -nE 's|^[[:space:]]*#[[:space:]]*include[[:space:]]+"([a-z]+)/.*|\1|p' "$file")
  done
done
[ $status -eq 0 ] && echo "every include runs down the layers"
exit $status
