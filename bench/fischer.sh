#!/usr/bin/env bash
# Times tickcheck on Fischer's protocol for 2 to 6 processes (set delay 2, wait delay 2, where
# mutual exclusion holds), with and without -n, and prints stored states, time, states per second
# and peak memory per run. With BASELINE set to another tickcheck binary, that binary runs on the
# same models in the same run and its columns stand beside those of the build's binary.
# Usage: [BASELINE=old/tickcheck] bench/fischer.sh [build directory] [largest N] [set] [wait]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
largest=${2:-6}
set_delay=${3:-2}
wait_delay=${4:-2}

if [ -z "$baseline" ]; then
  printf '%-4s %-4s %12s %10s %14s %12s %s\n' N opts states seconds states/s "peak MB" verdicts
else
  echo "new: $build/src/tickcheck; base: $baseline"
  printf '%-4s %-4s %12s %12s %10s %10s %10s %10s %9s %9s\n' N opts states "base states" \
    seconds "base s" "peak MB" "base MB" verdicts "base"
fi
for n in $(seq 2 "$largest"); do
  model="$work/fischer$n.txt"
  "$build/tools/tickcheck-fischer" "$n" "$set_delay" "$wait_delay" "$model"
  for opts in "" "-n"; do
    measure "$build/src/tickcheck" "$model" $opts
    if [ -z "$baseline" ]; then
      printf '%-4s %-4s %12s %10s %14s %12s %s\n' "$n" "${opts:--}" "$states" "$seconds" "$rate" \
        "$megabytes" "$verdicts"
      continue
    fi
    new=("$states" "$seconds" "$megabytes" "$verdicts")
    measure "$baseline" "$model" $opts
    printf '%-4s %-4s %12s %12s %10s %10s %10s %10s %9s %9s\n' "$n" "${opts:--}" "${new[0]}" \
      "$states" "${new[1]}" "$seconds" "${new[2]}" "$megabytes" "${new[3]}" "$verdicts"
  done
done
