#!/usr/bin/env bash
# The symmetry reduction: Fischer's protocol in the modelling language (tickcheck-fischer
# --language, set delay 1, wait delay 2) for 6 to 20 processes (25 and 30 too with
# BENCH_LARGE=1), by default (one state per orbit of the interchangeable processes) and with
# --no-symmetry (up to 10 processes, each run at most BENCH_SECONDS, 120 by default), and
# "query20": the protocol with one delay constant k = 2 and a global `int id` for 20 processes
# with one reachability query that names seven processes. Per run: stored states, CPU seconds,
# peak resident MiB and verdicts (s, n, u per query).
# Usage: [BENCH_LARGE=1] [BENCH_SECONDS=...] bench/symmetry.sh [build directory]
set -euo pipefail
. "$(dirname "$0")/measure.sh"
build=${1:-build}
sizes="6 8 10 12 15 20"
[ "${BENCH_LARGE:-0}" = 1 ] && sizes="$sizes 25 30"
seconds=${BENCH_SECONDS:-120}

cat > "$work/query20.tck" <<'MODEL'
const int N = 20;
const int k = 2;
typedef int[1,N] id_t;
int id;

process P(const id_t pid) {
  clock x;
  state A, req { x <= k }, wait, cs;
  init A;
  trans
    A -> req { guard id == 0; assign x = 0; },
    req -> wait { guard x <= k; assign x = 0, id = pid; },
    wait -> req { guard id == 0; assign x = 0; },
    wait -> cs { guard x > k && id == pid; },
    cs -> A { assign id = 0; };
}

system P;
MODEL
echo "E<> P(1).A && P(2).wait && P(3).cs && P(4).wait && P(5).wait && P(6).A && P(7).A" \
  > "$work/query20.q"

printf '%-10s %10s %9s %9s %-8s %10s %9s %9s %s\n' model states "CPU s" "peak MiB" verdicts \
  "no-sym st" "CPU s" "peak MiB" verdicts
row() {
  local name=$1 model=$2 plain=$3
  measure "$build/src/tickcheck" "$model"
  local with=("$states" "$cpu" "$megabytes" "$verdicts")
  if [ "$plain" = 1 ]; then
    BENCH_SECONDS=$seconds measure "$build/src/tickcheck" "$model" --no-symmetry
  else
    states=- cpu=- megabytes=- verdicts=-
  fi
  printf '%-10s %10s %9s %9s %-8s %10s %9s %9s %s\n' "$name" "${with[0]}" "${with[1]}" \
    "${with[2]}" "${with[3]}" "$states" "$cpu" "$megabytes" "$verdicts"
}
for n in $sizes; do
  "$build/tools/tickcheck-fischer" --language "$n" 1 2 "$work/fischer-lang$n.tck"
  row "lang$n" "$work/fischer-lang$n.tck" "$([ "$n" -le 10 ] && echo 1 || echo 0)"
done
row query20 "$work/query20.tck" 1
