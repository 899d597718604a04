#!/usr/bin/env bash
# The stages include only the stages before them: common -> util -> codon ->
# sites, differences -> stats. The readers (input/) and writers (reports/) stand
# beside them; only main.cpp sees everything.
set -u
src=${1:?usage: layers.sh SRC_DIR}
declare -A allowed=(
  [common]="common"
  [util]="common util"
  [codon]="common util codon"
  [sites]="common util codon sites"
  [differences]="common util codon differences"
  [stats]="common util codon sites differences stats"
  [input]="common util codon input"
  [reports]="common util codon sites differences stats reports"
)
bad=0
for dir in "${!allowed[@]}"; do
  [ -d "$src/$dir" ] || continue
  while IFS=: read -r file _ include; do
    layer=${include#*\"}
    layer=${layer%%/*}
    if [[ " ${allowed[$dir]} " != *" $layer "* ]]; then
      echo "$file includes $layer/: not a layer below $dir/"
      bad=1
    fi
  done < <(grep -Hn '^#include "' "$src/$dir"/* 2>/dev/null)
done
[ $bad -eq 0 ] && echo "layers: every include points to the same or a lower layer"
exit $bad
