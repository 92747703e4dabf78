#!/usr/bin/env bash
# What --trace costs: Fischer's protocol with a set delay above the wait delay (2 and 1: mutual
# exclusion fails, two traces) and below it (1 and 2: it holds, no trace is needed) for N
# processes, each run without and with --trace by the same binary. Per run: stored states, CPU
# seconds (user and system) and peak resident memory; for --trace also the states that the trace
# search explored and its seconds. With BASELINE set to another tickcheck binary, that binary runs
# the same models without --trace and its CPU seconds and memory stand beside.
# Usage: [BASELINE=old/tickcheck] bench/trace.sh [build directory] [smallest N] [largest N]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
smallest=${2:-6}
largest=${3:-9}

header="model            states   CPU s  peak MiB  --trace CPU s  peak MiB  trace states  trace s"
[ -n "$baseline" ] && header="$header  base CPU s  peak MiB"
echo "$header"
for n in $(seq "$smallest" "$largest"); do
  for delays in "2 1" "1 2"; do
    read -r set wait <<< "$delays"
    model="$work/fischer$n-$set-$wait.txt"
    "$build/tools/tickcheck-fischer" "$n" "$set" "$wait" "$model"
    measure "$build/src/tickcheck" "$model"
    row=$(printf '%-14s %8s %7s %9s' "fischer$n $set $wait" "$states" "$cpu" "$megabytes")
    measure "$build/src/tickcheck" "$model" --trace
    row=$(printf '%s %14s %9s %13s %8s' "$row" "$cpu" "$megabytes" "$traced" "$trace_seconds")
    if [ -n "$baseline" ]; then
      measure "$baseline" "$model"
      row=$(printf '%s %11s %9s' "$row" "$cpu" "$megabytes")
    fi
    echo "$row"
  done
done
