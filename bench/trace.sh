#!/usr/bin/env bash
# What --trace costs: Fischer's protocol with a set delay above the wait delay (2 and 1: mutual
# exclusion fails, two traces) and below it (1 and 2: it holds, one trace) for N processes, then
# models whose constants are scaled up: Fischer's protocol for 2 processes with delays 400 and 399
# and 4000 and 3999, and CSMA/CD for 2 stations with frame time 808 and 8080. Each model runs
# without and with --trace by the same binary. Per model: stored states, CPU seconds (user and
# system) and peak resident memory without --trace; CPU seconds and peak memory with it, their
# ratios to those without, and the states that the trace search explored. With BASELINE set to
# another tickcheck binary, that binary runs each model with --trace too and its CPU seconds and
# memory stand beside. Every run is bounded by BENCH_SECONDS of wall clock (120 by default).
# Usage: [BASELINE=old/tickcheck] bench/trace.sh [build directory] [smallest N] [largest N]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
smallest=${2:-6}
largest=${3:-9}
export BENCH_SECONDS=${BENCH_SECONDS:-120}

header="model               states   CPU s  peak MiB  --trace CPU s  peak MiB  CPU x  MiB x  trace states"
[ -n "$baseline" ] && header="$header  base --trace CPU s  peak MiB"
echo "$header"
row() {
  local name=$1 model=$2 line cpu0 mib0
  measure "$build/src/tickcheck" "$model"
  cpu0=$cpu
  mib0=$megabytes
  line=$(printf '%-17s %9s %7s %9s' "$name" "$states" "$cpu" "$megabytes")
  measure "$build/src/tickcheck" "$model" --trace
  line=$(printf '%s %14s %9s %6s %6s %13s' "$line" "$cpu" "$megabytes" \
    "$(awk -v a="$cpu" -v b="$cpu0" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')" \
    "$(awk -v a="$megabytes" -v b="$mib0" 'BEGIN { printf "%.2f", a / b }')" "${traced:--}")
  if [ -n "$baseline" ]; then
    measure "$baseline" "$model" --trace
    line=$(printf '%s %19s %9s' "$line" "$cpu" "$megabytes")
  fi
  echo "$line"
}
for n in $(seq "$smallest" "$largest"); do
  for delays in "2 1" "1 2"; do
    read -r set wait <<< "$delays"
    model="$work/fischer$n-$set-$wait.txt"
    "$build/tools/tickcheck-fischer" "$n" "$set" "$wait" "$model"
    row "fischer$n $set $wait" "$model"
  done
done
for delays in "400 399" "4000 3999"; do
  read -r set wait <<< "$delays"
  model="$work/fischer2-$set-$wait.txt"
  "$build/tools/tickcheck-fischer" 2 "$set" "$wait" "$model"
  row "fischer2 $set $wait" "$model"
done
for times in "808 26" "8080 260"; do
  read -r lambda sigma <<< "$times"
  model="$work/csma2-$lambda.tck"
  "$build/tools/tickcheck-csma" 2 "$lambda" "$sigma" "$model"
  row "csma2 $lambda $sigma" "$model"
done
