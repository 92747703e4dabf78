# Shared by the benchmark scripts (sourced, not run): a scratch directory removed on exit, the
# check of BASELINE, and one timed run of a tickcheck binary.

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

baseline=${BASELINE:-}
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
  echo "BASELINE=$baseline is not an executable" >&2
  exit 1
fi

# Runs binary $1 on model $2 with the options that follow (at most BENCH_SECONDS of wall clock when
# it is set, then it is interrupted as by Ctrl-C); sets states, verdicts, seconds (wall
# clock), cpu (user and system seconds), rate (stored states per wall second), megabytes (peak
# resident MiB), per_state (peak resident bytes per stored state), and from the trace search's
# line, when there is one, traced (the states it explored) and trace_seconds, and from the liveness
# search's line, when there is one, lived (the states it explored) and live_seconds.
measure() {
  local binary=$1 model=$2 user system kilobytes
  shift 2
  local bound=()
  [ -n "${BENCH_SECONDS:-}" ] && bound=(timeout -s INT "$BENCH_SECONDS")
  /usr/bin/time -f '%e %U %S %M' -o "$work/timing" "${bound[@]}" "$binary" "$@" "$model" \
    > "$work/out" 2> "$work/err" || true
  # After a non-zero exit the first line says so; the figures are on the last one.
  read -r seconds user system kilobytes < <(tail -n 1 "$work/timing")
  states=$(awk -F'\t' '/^DsState Number in pastList:/ {print $2}' "$work/out")
  verdicts=$(grep -o 'property[0-9]* : [01]' "$work/out" | awk '{printf "%s", $3}' || true)
  # A .tck model: the stored states from the summary line, a verdict per query as s (satisfied),
  # n (not satisfied) or u (unknown).
  if [ -z "$states" ]; then
    states=$(awk '/^summary: / {print $2}' "$work/err")
    verdicts=$(awk '/  -- (satisfied|not satisfied|unknown)$/ {
      printf "%s", ($NF == "unknown" ? "u" : ($(NF-1) == "not" ? "n" : "s")) }' "$work/out")
  fi
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
  rate=$(awk -v s="$states" -v t="$seconds" 'BEGIN { if (t > 0) printf "%d", s / t; else print "-" }')
  megabytes=$(awk -v k="$kilobytes" 'BEGIN { printf "%.1f", k / 1024 }')
  per_state=$(awk -v k="$kilobytes" -v n="$states" \
    'BEGIN { if (n > 0) printf "%d", k * 1024 / n; else print "-" }')
  traced=$(awk '/^traces: / {print $6}' "$work/err")
  trace_seconds=$(awk '/^traces: / {print $(NF-1)}' "$work/err")
  lived=$(awk '/^liveness: / {print $7}' "$work/err")
  live_seconds=$(awk '/^liveness: / {print $(NF-1)}' "$work/err")
}
