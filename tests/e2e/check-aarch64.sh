#!/usr/bin/env bash
# Builds radcon for 64-bit ARM with Debian's cross toolchain, runs it under
# qemu-user beside the native build, and compares every byte both print: the
# trace, the seven reports and the pairs table, on the bundled alignment, a
# synthetic one with several threads, and runs that print NaN.
set -euo pipefail
cd "$(dirname "$0")/../.."
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

.ci/install-missing g++-aarch64-linux-gnu qemu-user

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DRADCON_TESTS=OFF >/dev/null
cmake --build build -j "$JOBS" --target radcon >/dev/null
cmake --no-warn-unused-cli -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release \
  -DRADCON_TESTS=OFF >/dev/null
cmake --build build-aarch64 -j "$JOBS" --target radcon >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '2 3\nfirst\nTTT\nsecond\nTTC\n' > "$work/nan.seq"          # pS above 0.75, no radical sites
printf '3 9\na\nTTTAAAGGG\nb\nCCCGGGTTT\nc\nAAATTTCCC\n' > "$work/far.seq"  # saturated pairs
python3 bench/generate.py --seed 11 30 150 > "$work/synthetic.seq"

native=$PWD/build/radcon
arm="qemu-aarch64 -L /usr/aarch64-linux-gnu $PWD/build-aarch64/radcon"
runs=(
  "1 0.5 1 1|--table pairs.tsv $PWD/examples/lysozymeLarge.seq"
  "0 2.5 0.8 3|$PWD/examples/lysozymeLarge.seq"
  "1 3 2 2|--threads 3 --table pairs.tsv --profile profile.tsv --window 20 --step 7 $work/synthetic.seq"
  "0 1.5 1 3|--genetic-code 2 --table pairs.tsv $work/synthetic.seq"
  "1 0.5 1 1|--table pairs.tsv $work/nan.seq"
  "0 0.5 1 4|$work/far.seq"
)
failed=0
for k in "${!runs[@]}"; do
  answers=${runs[$k]%%|*}
  args=${runs[$k]#*|}
  for side in x86 arm; do
    mkdir -p "$work/$k/$side"
    binary=$native
    [ $side = arm ] && binary=$arm
    (cd "$work/$k/$side" && echo "$answers" | $binary $args > stdout; echo $? > status)
  done
  if diff -r "$work/$k/x86" "$work/$k/arm" >/dev/null; then
    echo "same bytes: radcon $args"
  else
    echo "DIFFERENT: radcon $args"
    diff -r "$work/$k/x86" "$work/$k/arm" | head -n 20
    failed=1
  fi
done
grep -q -- '-nan' "$work/4/arm/sn.rst" || { echo "the NaN run printed no NaN"; failed=1; }
[ $failed -eq 0 ] && echo "check-aarch64: the aarch64 build prints the same bytes as the native one"
exit $failed
