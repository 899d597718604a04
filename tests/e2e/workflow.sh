#!/usr/bin/env bash
# The cluster workflow on a few genes, two a job, one of them broken: its merged
# table equals the table of one radcon command over the same files, and the
# broken gene is listed in failed.tsv.
set -euo pipefail
radcon=$1
src=$2
command -v snakemake >/dev/null || { echo "snakemake is not installed (make test installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/genes"
for g in alpha beta gamma delta epsilon; do
  python3 "$src/bench/generate.py" --seed ${#g} 6 40 > "$work/genes/$g.seq"
done
printf '2 6\na\nTTTAAA\n' > "$work/genes/broken.fa"
snakemake --snakefile "$src/workflow/Snakefile" --cores 2 --directory "$work" --quiet all \
  --config alignments="$work/genes" outdir="$work/out" correction=1 tstv=0.5 kaks=1 grouping=charge \
  radcon="$radcon" chunk=2 > "$work/snakemake.log" 2>&1 || { cat "$work/snakemake.log"; exit 1; }
status=0
"$radcon" -q --no-progress -c 1 -t 0.5 -k 1 -g charge --reports none --table "$work/one.tsv" "$work"/genes/* \
  2> /dev/null || status=$?
[ "$status" -eq 1 ] || { echo "expected status 1 for the broken gene, got $status"; exit 1; }
cmp "$work/out/pairs.tsv" "$work/one.tsv"
grep -q "^broken	" "$work/out/failed.tsv" || { echo "broken gene not in failed.tsv"; cat "$work/out/failed.tsv"; exit 1; }
echo "workflow: the merged table equals the single command's; the broken gene is listed"
