#!/usr/bin/env bash
# The CSMA/CD family (tickcheck-csma: a bus and N senders in the modelling language, frame time
# 808, propagation delay 26) for 2 to 20 stations, each run for at most BENCH_SECONDS of wall clock
# (30 by default) and interrupted then: stored states, wall seconds, stored states per second, peak
# resident memory, and a verdict per query (s satisfied, n not satisfied, u unknown). With BASELINE
# set to another tickcheck binary, that binary runs the same models in the same run and its figures
# stand beside. With MODEL_FILES=1 as well, the baseline compiles each model first (--emit-model,
# in a run bounded like the others) and both binaries check the model file it wrote: with a
# baseline from before format 2, a model file of format 1.
# Usage: [BASELINE=old/tickcheck [MODEL_FILES=1]] [BENCH_SECONDS=30] bench/csma.sh [build dir]
#        [stations ...]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
shift || true
stations=("$@")
[ ${#stations[@]} -eq 0 ] && stations=(2 4 6 8 10 12 14 16 18 20)
export BENCH_SECONDS=${BENCH_SECONDS:-30}

if [ -z "$baseline" ]; then
  printf '%-8s %10s %8s %9s %9s %s\n' model states "s" "states/s" "peak MiB" verdicts
else
  echo "new: $build/src/tickcheck; base: $baseline"
  printf '%-8s %10s %10s %7s %7s %9s %9s %9s %9s %8s %8s\n' model states base "s" base \
    "states/s" base "peak MiB" base verdicts base
fi
for n in "${stations[@]}"; do
  model="$work/csma$n.tck"
  "$build/tools/tickcheck-csma" "$n" 808 26 "$model"
  if [ -n "$baseline" ] && [ "${MODEL_FILES:-}" = 1 ]; then
    measure "$baseline" "$model" --emit-model "$work/csma$n.txt"
    model="$work/csma$n.txt"
  fi
  measure "$build/src/tickcheck" "$model"
  if [ -z "$baseline" ]; then
    printf '%-8s %10s %8s %9s %9s %s\n' "csma$n" "$states" "$seconds" "$rate" "$megabytes" \
      "$verdicts"
    continue
  fi
  new=("$states" "$seconds" "$rate" "$megabytes" "$verdicts")
  measure "$baseline" "$model"
  printf '%-8s %10s %10s %7s %7s %9s %9s %9s %9s %8s %8s\n' "csma$n" "${new[0]}" "$states" \
    "${new[1]}" "$seconds" "${new[2]}" "$rate" "${new[3]}" "$megabytes" "${new[4]}" "$verdicts"
done
