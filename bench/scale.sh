#!/usr/bin/env bash
# How time and memory grow with the model: Fischer's protocol (set delay 1, wait delay 2) for 6 to
# 11 processes (12 too with BENCH_LARGE=1), the variant whose critical section is stretched into a
# chain of extra locations, and the same protocol in the modelling language (tickcheck-fischer
# --language, verdicts s, n, u per query) for 6 to 10 processes, in the default mode. Per run: stored states, CPU seconds (user
# and system), peak resident memory and bytes of it per stored state, and the verdicts. With
# BASELINE set to another tickcheck binary, that binary runs on the same models in the same run and
# its figures stand beside those of the build's binary. OPTIONS holds options for the build's
# binary alone (such as -n), so that a mode can stand beside the default one.
# Usage: [BASELINE=old/tickcheck] [BENCH_LARGE=1] [OPTIONS=...] bench/scale.sh [build directory]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
largest=11
[ "${BENCH_LARGE:-0}" = 1 ] && largest=12

row() {
  local name=$1 model=$2
  # shellcheck disable=SC2086 # OPTIONS is a list of words
  measure "$build/src/tickcheck" "$model" ${OPTIONS:-}
  if [ -z "$baseline" ]; then
    printf '%-12s %10s %9s %10s %8s %s\n' "$name" "$states" "$cpu" "$megabytes" "$per_state" \
      "$verdicts"
    return
  fi
  local new=("$states" "$cpu" "$megabytes" "$per_state" "$verdicts")
  measure "$baseline" "$model"
  printf '%-12s %10s %10s %9s %9s %10s %10s %8s %8s %8s %8s\n' "$name" "${new[0]}" "$states" \
    "${new[1]}" "$cpu" "${new[2]}" "$megabytes" "${new[3]}" "$per_state" "${new[4]}" "$verdicts"
}

if [ -z "$baseline" ]; then
  printf '%-12s %10s %9s %10s %8s %s\n' model states "CPU s" "peak MiB" "B/state" verdicts
else
  echo "new: $build/src/tickcheck ${OPTIONS:-}; base: $baseline"
  printf '%-12s %10s %10s %9s %9s %10s %10s %8s %8s %8s %8s\n' model states "base" "CPU s" \
    "base" "peak MiB" "base" "B/state" "base" verdicts "base"
fi
for n in $(seq 6 "$largest"); do
  "$build/tools/tickcheck-fischer" "$n" 1 2 "$work/fischer$n.txt"
  row "fischer$n" "$work/fischer$n.txt"
done
"$build/tools/tickcheck-fischer" --chain 4 8 1 2 "$work/chain8.txt"
row "chain8x4" "$work/chain8.txt"
for n in $(seq 6 10); do
  "$build/tools/tickcheck-fischer" --language "$n" 1 2 "$work/fischer-lang$n.tck"
  row "lang$n" "$work/fischer-lang$n.tck"
done
