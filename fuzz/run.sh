#!/usr/bin/env bash
# Runs every fuzz target (fuzz/*_fuzz.cpp) for SECONDS each, starting from fresh seeds plus what
# earlier runs in this build folder found, and prints the executions per target.
# Usage: fuzz/run.sh BUILD_DIR SECONDS. Fails when a target crashes, leaks, hangs or runs out of
# memory; the input that did it is kept in BUILD_DIR/fuzz-artifacts/ (make it a regression test).
set -euo pipefail
build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS}
here=$(cd "$(dirname "$0")" && pwd)

seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
logs="$build/fuzz-logs"
bash "$here/make-seeds.sh" "$build" "$seeds"
mkdir -p "$corpus" "$artifacts" "$logs"

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
summary=()
for source in "$here"/*_fuzz.cpp; do
  target=$(basename "$source" .cpp)
  mkdir -p "$corpus/$target"
  log="$logs/$target.log"
  echo "== $target: ${seconds} s"
  # One input may take at most 10 s and 2 GB; longer is a hang, more is a memory fault.
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$corpus/$target" "$seeds/$target" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$target")
    tail -n 60 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$(printf '%-24s %10s executions  %s' "$target" "${runs:-?}" "$status")")
done

echo "== fuzzing, ${seconds} s per target"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (inputs in $artifacts, logs in $logs)" >&2
  exit 1
fi
