#!/usr/bin/env bash
# The HTML page in a real browser: headless Chromium, with every network lookup
# refused, opens the page of one alignment (with clades), of a batch with a
# failed file, and of a profile along a gene in windows of 20 codons (the
# globins of RADCON_SHARED_DATA, default SOURCE_DIR/../shared/data, when there;
# else the lysozymes); every chart must have drawn, the page must say it is
# ready, and the console must stay silent. Leaves the single alignment's
# screenshot in OUT/report.png and the profile's in OUT/profile.png (the
# README's pictures).
set -u
radcon=$(realpath "${1:?usage: html_browser.sh RADCON SOURCE_DIR OUT_DIR}")
src=$(realpath "${2:?}")
out=$(realpath "${3:?}")
chromium=${CHROMIUM:-chromium}
command -v "$chromium" >/dev/null || { echo "Chromium is missing (Debian: chromium); make test installs it"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Opens a page; leaves its DOM after the scripts ran in $1.dom, the browser's log in
# $1.log and, with a second argument, a screenshot there (a window of the third's
# size).
browse() {
  local page=$1 shot=${2:-} size=${3:-1280,1640}
  local flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking
    --disable-component-update --disable-sync --user-data-dir="$work/profile" --enable-logging=stderr --v=0
    --host-resolver-rules="MAP * ~NOTFOUND" --proxy-server=127.0.0.1:9 --window-size="$size" --hide-scrollbars
    --virtual-time-budget=15000)
  timeout 120 "$chromium" "${flags[@]}" --dump-dom "file://$page" > "$page.dom" 2> "$page.log"
  if [ -n "$shot" ]; then timeout 120 "$chromium" "${flags[@]}" --screenshot="$shot" "file://$page" >/dev/null 2>&1; fi
}

# Every chart named drew; the page is ready with no script error; the console is silent.
rendered() {  # rendered PAGE CHART...
  local page=$1
  shift
  grep -q 'data-status="ready"' "$page.dom" || return 1
  ! grep -q 'data-errors=' "$page.dom" || return 1
  for chart in "$@"; do grep -q "<canvas id=\"$chart\"[^>]*data-rendered=\"1\"" "$page.dom" || return 1; done
  [ "$(grep -o '<canvas' "$page.dom" | wc -l)" -eq $# ]
}
silent() { [ -s "$1.log" ] && ! grep -q 'CONSOLE' "$1.log"; }
# Nothing in the page may point outside it.
selfContained() { [ -s "$1" ] && ! grep -Eq '<(link|img|iframe)|src=|@import|url\(' "$1"; }

mkdir -p "$out"
cd "$work" || exit 1
# A gene whose only pair has a radical change and no conservative one: dR/dC is
# NA. Its name and its first sequence's would be markup if the page let them
# through as such.
printf '2 9\n</script><b>x\nATGAAATTT\nplain\nATGGAATTT\n' > 'tiny<b>.seq'
printf '3 9\nA\nATGATGATG\nB\nATG\n' > broken.seq
cp "$src/examples/lysozymeLarge.seq" .
answers=(-q -c 1 -t 0.5 -k 1 -g charge)

cp "$src/examples/lysozyme.clades" .
# As a user types it: the page shows the command line.
PATH="$(dirname "$radcon"):$PATH" radcon "${answers[@]}" --reports none --clades lysozyme.clades --means means.tsv \
  --html single.html lysozymeLarge.seq > single.out 2>&1
check "one alignment: status 0" [ $? -eq 0 ]
browse "$work/single.html" "$out/report.png" 1280,1395  # down to the heat map's scale
check "one alignment: page ready, scatter, heat map and profile drawn" rendered "$work/single.html" chart-scatter \
  chart-heatmap profile profile-codons
check "one alignment: console silent" silent "$work/single.html"
check "one alignment: nothing outside the page" selfContained "$work/single.html"
check "one alignment: clade rows" grep -q "hominoids × colobines" "$work/single.html.dom"
check "screenshot written" test -s "$out/report.png"

"$radcon" "${answers[@]}" --reports none --means batch-means.tsv --jackknife 5 --html "$work/batch.html" \
  lysozymeLarge.seq 'tiny<b>.seq' broken.seq > batch.out 2>&1
check "batch with a failed file: status 1" [ $? -eq 1 ]
browse "$work/batch.html"
check "batch: page ready, all six charts drawn" rendered "$work/batch.html" chart-histogram chart-volcano chart-scatter \
  chart-heatmap profile profile-codons
check "batch: console silent" silent "$work/batch.html"
check "batch: the failed file and why" grep -q "broken.seq</code>: The header claims" "$work/batch.html.dom"
check "batch: NA shown as NA" grep -q '<td class="na">NA</td>' "$work/batch.html.dom"
check "batch: a name is text, never markup" grep -q '<td>tiny&lt;b&gt;</td>' "$work/batch.html.dom"
check "batch: no markup from a name" bash -c "! grep -q '<b>' '$work/batch.html.dom'"
check "batch: the jackknife's tests among the genes and in the gene's means" \
  bash -c "grep -q '>jackknife p dR−dC<' '$work/batch.html.dom' && grep -q '>jackknife p<' '$work/batch.html.dom'"

# The profile in windows of 20 codons every 5: of the globins (the shared data,
# when there), whose dN/dS windows pass the test, or of the lysozymes.
shared=${RADCON_SHARED_DATA:-$src/../shared/data}
along=lysozymeLarge.seq
[ -s "$shared/abglobin.seq" ] && cp "$shared/abglobin.seq" . && along=abglobin.seq
"$radcon" -q -c 1 -t 1.5 -k 1 -g charge --reports none --window 20 --step 5 --html "$work/profile.html" "$along" \
  > profile.out 2>&1
check "profile: status 0" [ $? -eq 0 ]
browse "$work/profile.html"
check "profile: page ready, every chart drawn" rendered "$work/profile.html" chart-scatter chart-heatmap profile profile-codons
check "profile: console silent" silent "$work/profile.html"
check "profile: its windows" grep -q "windows of 20 codons every 5" "$work/profile.html.dom"
# Headless Chromium draws only the top of a page, even scrolled to a fragment: the
# profile's picture comes from a copy that hides what stands above it.
sed '0,/<\/style>/s//main > h1, .subtitle, main > section:first-of-type, .charts { display: none; }\n&/' \
  profile.html > profile-shot.html
browse "$work/profile-shot.html" "$out/profile.png" 1280,1000
check "profile screenshot written" test -s "$out/profile.png"

if [ $failures -ne 0 ]; then
  for f in "$work"/*.log "$work"/*.out; do echo "== $f"; tail -n 20 "$f"; done
  exit 1
fi
echo "the page renders in Chromium"
