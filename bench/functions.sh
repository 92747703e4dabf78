#!/usr/bin/env bash
# How functions reach the checker: examples/train-bridge.tck with its controller's queue of Q
# places (a FIFO in functions, with a loop that shifts the queue) against the same model whose
# loop is unrolled by hand into Q - 1 guarded assignments, for T trains. Per variant: the size of
# the compiled model file, the CPU milliseconds of one compilation alone (--emit-model without
# queries, averaged over 20), and the CPU seconds of the whole check (the query that no two trains are on the bridge, which visits
# every state), with its stored states.
# Usage: bench/functions.sh [build directory] [trains] [queue places]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
trains=${2:-4}
places=${3:-8}
binary="$build/src/tickcheck"

# The example with T trains and a queue of Q places.
sed -e "s/^const int N = 3; .*/const int N = $trains;/" \
    -e "s/id_t queue\[N\];.*/id_t queue[$places];/" \
    -e "s/int\[0,N\] len = 0;/int[0,$places] len = 0;/" \
    "$(dirname "$0")/../examples/train-bridge.tck" > "$work/loop.tck"
# The loop of removeHead written out: position i takes position i + 1 while i < len.
unrolled=""
for i in $(seq 0 $((places - 2))); do
  unrolled="$unrolled    if ($i < len) queue[$i] = queue[$((i + 1))];\n"
done
awk -v body="$unrolled" '
  /^    int i = 0;$/ { next }
  /^    while \(i < len\) \{$/ { skip = 1; printf "%s", body; next }
  skip && /^    }$/ { skip = 0; next }
  skip { next }
  { print }' "$work/loop.tck" | sed 's/\\n/\n/g' > "$work/unrolled.tck"
printf 'A[] forall (i : id_t) forall (j : id_t) Train(i).cross && Train(j).cross imply i == j\n' \
  > "$work/loop.q"
cp "$work/loop.q" "$work/unrolled.q"

echo "variant    file bytes  compile CPU ms  check CPU s  stored states  verdict"
for variant in loop unrolled; do
  # The compilation alone (without a query file, --emit-model only writes the model file), 20
  # times over for a measurable time.
  mv "$work/$variant.q" "$work/$variant.hidden"
  /usr/bin/time -f '%U %S' -o "$work/timing" sh -c \
    "for k in \$(seq 20); do \"$binary\" \"$work/$variant.tck\" --emit-model \"$work/$variant.txt\"; done" \
    > /dev/null
  compile=$(awk '{ printf "%.1f", ($1 + $2) * 1000 / 20 }' "$work/timing")
  mv "$work/$variant.hidden" "$work/$variant.q"
  # With the query (which this run also checks), the model file that the check reads.
  "$binary" "$work/$variant.tck" --emit-model "$work/$variant.txt" > /dev/null 2>&1
  bytes=$(wc -c < "$work/$variant.txt")
  measure "$binary" "$work/$variant.txt"
  printf '%-9s %11s %15s %12s %14s  %s\n' "$variant" "$bytes" "$compile" "$cpu" "$states" \
    "$verdicts"
done
