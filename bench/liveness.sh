#!/usr/bin/env bash
# What a liveness query costs beside the plain check: each model runs with its plain queries
# (E<> and A[]) and then with one liveness query added, by the same binary. Fischer's protocol for
# N processes (set delay 2, wait delay 2, tickcheck-fischer --language) with
# P(1).req --> P(1).cs (not satisfied: a lasso is found early) and with P(1).req --> P(1).wait
# (satisfied: every state where it matters is explored); examples/gate-queue.tck for 2 and 3
# trains with Train(1).appr --> Train(1).cross (satisfied); examples/token-ring.tck for 3 to 5
# stations with A<> Station(N - 1).holding (satisfied only because invariants force progress).
# Per model: stored states, CPU seconds and peak MiB of the plain check; CPU seconds and peak MiB
# with the liveness query, their ratios to the plain check's, the states the liveness search
# explored, its seconds, and the verdicts (s, n per query). Every run is bounded by BENCH_SECONDS
# of wall clock (120 by default). With BASELINE set to another tickcheck binary, that binary runs
# each model with the liveness query too, and its CPU seconds and peak MiB stand beside.
# Usage: [BASELINE=old/tickcheck] bench/liveness.sh [build directory] [smallest N] [largest N]
# (Fischer's N, 4 and 8 by default)
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
smallest=${2:-4}
largest=${3:-8}
examples="$(dirname "$0")/../examples"
export BENCH_SECONDS=${BENCH_SECONDS:-120}

header="model                      states  CPU s  peak MiB  live CPU s  peak MiB  CPU x  MiB x  live states  live s  verdicts"
[ -n "$baseline" ] && header="$header  base live CPU s  peak MiB"
echo "$header"
# row <name> <model.tck> <plain queries file> <liveness query>
row() {
  local name=$1 model=$2 plain=$3 query=$4 line cpu0 mib0
  measure "$build/src/tickcheck" "$model" -q "$plain"
  cpu0=$cpu
  mib0=$megabytes
  line=$(printf '%-24s %8s %6s %9s' "$name" "$states" "$cpu" "$megabytes")
  { cat "$plain"; echo "$query"; } > "$work/live.q"
  measure "$build/src/tickcheck" "$model" -q "$work/live.q"
  line=$(printf '%s %11s %9s %6s %6s %12s %7s  %s' "$line" "$cpu" "$megabytes" \
    "$(awk -v a="$cpu" -v b="$cpu0" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')" \
    "$(awk -v a="$megabytes" -v b="$mib0" 'BEGIN { printf "%.2f", a / b }')" "${lived:--}" \
    "${live_seconds:--}" "$verdicts")
  if [ -n "$baseline" ]; then
    measure "$baseline" "$model" -q "$work/live.q"
    line=$(printf '%s %16s %9s' "$line" "$cpu" "$megabytes")
  fi
  echo "$line"
}
for n in $(seq "$smallest" "$largest"); do
  "$build/tools/tickcheck-fischer" --language "$n" 2 2 "$work/fischer$n.tck"
  row "fischer$n req-->cs" "$work/fischer$n.tck" "$work/fischer$n.q" "P(1).req --> P(1).cs"
  row "fischer$n req-->wait" "$work/fischer$n.tck" "$work/fischer$n.q" "P(1).req --> P(1).wait"
done
echo "A[] forall (i : id_t) forall (j : id_t) Train(i).cross && Train(j).cross imply i == j" \
  > "$work/gate.q"
for n in 2 3; do
  sed "s/^const int N = [0-9]*;/const int N = $n;/" "$examples/gate-queue.tck" > "$work/gate$n.tck"
  row "gate-queue$n" "$work/gate$n.tck" "$work/gate.q" "Train(1).appr --> Train(1).cross"
done
echo "A[] forall (i : id_t) forall (j : id_t) Station(i).holding && Station(j).holding imply i == j" \
  > "$work/ring.q"
for n in 3 4 5; do
  sed "s/^const int N = [0-9]*;/const int N = $n;/" "$examples/token-ring.tck" > "$work/ring$n.tck"
  row "token-ring$n" "$work/ring$n.tck" "$work/ring.q" "A<> Station(N - 1).holding"
done
