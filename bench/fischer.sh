#!/usr/bin/env bash
# Times tickcheck on Fischer's protocol for 2 to 6 processes (set delay 2, wait delay 2, where
# mutual exclusion holds), with and without -n, and prints stored states, time, states per second
# and peak memory per run. Usage: bench/fischer.sh [build directory] [largest N] [set] [wait]
set -euo pipefail
build=${1:-build}
largest=${2:-6}
set_delay=${3:-2}
wait_delay=${4:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-4s %-4s %12s %10s %14s %12s %s\n' N opts states seconds states/s "peak MB" verdicts
for n in $(seq 2 "$largest"); do
  model="$work/fischer$n.txt"
  "$build/tools/tickcheck-fischer" "$n" "$set_delay" "$wait_delay" "$model"
  for opts in "" "-n"; do
    out="$work/out" measure="$work/measure"
    /usr/bin/time -f '%e %M' -o "$measure" "$build/src/tickcheck" "$model" $opts > "$out" 2> "$work/err"
    read -r seconds kilobytes < "$measure"
    states=$(awk -F'\t' '/^DsState Number in pastList:/ {print $2}' "$out")
    verdicts=$(grep -o 'property[0-9]* : [01]' "$out" | awk '{printf "%s", $3}')
    rate=$(awk -v s="$states" -v t="$seconds" 'BEGIN { if (t > 0) printf "%d", s / t; else print "-" }')
    printf '%-4s %-4s %12s %10s %14s %12.1f %s\n' "$n" "${opts:--}" "$states" "$seconds" "$rate" \
      "$(awk -v k="$kilobytes" 'BEGIN { print k / 1024 }')" "$verdicts"
  done
done
