#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a while on its seed corpus. Any crash, leak,
# hang or sanitizer report fails the run. Usage: fuzz-smoke.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

# The disk and registry libraries leak on some error paths of their own; see the file.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=build/fuzz/corpus
scripts/make-fuzz-seeds.sh "$work/seeds"
status=0
for target in build/fuzz/fuzz_*; do
  name=$(basename "$target")
  mkdir -p "$work/$name" "$work/artifacts" "$work/seeds/$name"
  echo "== $name"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$name-" "$work/$name" "$work/seeds/$name" \
      > "$work/$name.log" 2>&1; then
    echo "FAILED: $name"; tail -40 "$work/$name.log"; status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$name.log" | sed 's/^/   /'
  fi
done
exit $status
