#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time on freshly made seeds. Any
# crash, sanitizer report, broken invariant, timeout or allocation over the limit fails it.
#   VELMORA_FUZZ_SECONDS   time per target (default 30)
#   VELMORA_BUILD_ROOT     build folders (default ./build); this suite uses <root>/fuzz
set -uo pipefail
cd "$(dirname "$0")/../.."
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}
dir=$build_root/fuzz
seconds=${VELMORA_FUZZ_SECONDS:-30}
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2

log=$(mktemp)
# Files the targets write go to a folder removed at the end, even after a crash; on a memory
# file system when there is one, since every save is synced.
scratch=$(mktemp -d /dev/shm/velmora-fuzz-run.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -f "$log"; rm -rf "$scratch"' EXIT
echo "=== fuzz: configure and build in $dir"
if ! { cmake --preset fuzz -B "$dir" && cmake --build "$dir" -j "$jobs"; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "=== fuzz: build failed"
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi

seeds=$dir/seeds
rm -rf "$seeds"
if ! python3 fuzz/make_seeds.py "$seeds"; then
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi

passed=0
failed=0
total=0
while read -r target kind; do
  [ -n "$target" ] || continue
  total=$((total + 1))
  corpus=$dir/corpus/$target       # kept between runs, so each run starts where the last ended
  artifacts=$dir/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  # -malloc_limit_mb: inputs are at most a few KiB, so any single allocation over 64 MiB means
  # a header was believed before its bytes were counted.
  VELMORA_FUZZ_TMP=$scratch "$dir/fuzz/$target" -max_total_time="$seconds" -malloc_limit_mb=64 -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds/$kind" </dev/null >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz $target: passed, ${runs:-?} runs in ${seconds} s"
  else
    failed=$((failed + 1))
    echo "fuzz $target: FAILED (exit $rc); reproduce with: $dir/fuzz/$target $artifacts/<file>"
    grep -E 'ERROR|runtime error|invariant broken|SUMMARY|Test unit written' "$log" | head -n 20
  fi
done <"$dir/fuzz-targets.txt"

if [ "$total" -eq 0 ]; then
  echo "no fuzz targets were built"
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi
echo "$((100 * passed / total))% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
