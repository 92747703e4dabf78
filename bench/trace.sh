#!/usr/bin/env bash
# What --trace costs: Fischer's protocol with a set delay above the wait delay (2 and 1: mutual
# exclusion fails, two traces) and below it (1 and 2: it holds, no trace is needed) for N
# processes, each run without and with --trace by the same binary. Per run: stored states, CPU
# seconds (user and system) and peak resident memory; for --trace also the states that the trace
# search explored and its seconds. With BASELINE set to another tickcheck binary, that binary runs
# the same models without --trace and its CPU seconds and memory stand beside.
# Usage: [BASELINE=old/tickcheck] bench/trace.sh [build directory] [smallest N] [largest N]
set -euo pipefail
build=${1:-build}
smallest=${2:-6}
largest=${3:-9}
baseline=${BASELINE:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
  echo "BASELINE=$baseline is not an executable" >&2
  exit 1
fi

# Runs binary $1 on model $2 with options $3...; sets states, cpu, megabytes, traced, seconds.
measure() {
  local binary=$1 model=$2 user system kilobytes
  shift 2
  /usr/bin/time -f '%U %S %M' -o "$work/timing" "$binary" "$@" "$model" > "$work/out" 2> "$work/err"
  read -r user system kilobytes < "$work/timing"
  states=$(awk -F'\t' '/^DsState Number in pastList:/ {print $2}' "$work/out")
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
  megabytes=$(awk -v k="$kilobytes" 'BEGIN { printf "%.1f", k / 1024 }')
  traced=$(awk '/^traces: / {print $6}' "$work/err")
  seconds=$(awk '/^traces: / {print $(NF-1)}' "$work/err")
}

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
    row=$(printf '%s %14s %9s %13s %8s' "$row" "$cpu" "$megabytes" "$traced" "$seconds")
    if [ -n "$baseline" ]; then
      measure "$baseline" "$model"
      row=$(printf '%s %11s %9s' "$row" "$cpu" "$megabytes")
    fi
    echo "$row"
  done
done
