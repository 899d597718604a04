#!/usr/bin/env bash
# The stages include only the stages before them: common -> util -> files ->
# codon -> sites, differences -> stats. The readers (input/) and writers
# (reports/) stand beside them; the application layer (app/) sees them all, and
# only main.cpp sees the application layer. Nothing below app/ includes it.
set -u
src=${1:?usage: layers.sh SRC_DIR}
declare -A allowed=(
  [common]="common"
  [util]="common util"
  [files]="common util files"
  [codon]="common util codon"
  [sites]="common util codon sites"
  [differences]="common util codon differences"
  [stats]="common util codon sites differences stats"
  [input]="common util files codon input"
  [reports]="common util files codon sites differences stats reports"
  [app]="common util files codon sites differences stats input reports app"
)
bad=0
for dir in "$src"/*/; do
  dir=$(basename "$dir")
  [ -n "${allowed[$dir]+x}" ] || { echo "$dir/ is a folder the layers do not know"; bad=1; }
done
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
