#!/usr/bin/env bash
# Builds the libFuzzer target (the "fuzz" preset: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for a bounded time from the committed seeds. Any crash,
# sanitizer report, model mismatch, timeout or allocation over the limit fails it.
#   VELMORA_FUZZ_SECONDS   run time (default 15); VELMORA_BUILD_ROOT  build folders (./build)
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=${VELMORA_BUILD_ROOT:-$PWD/build}/fuzz
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "=== fuzz: configure and build in $dir"
if ! { cmake --preset fuzz -B "$dir" && cmake --build "$dir" -j 2; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi
mkdir -p "$dir/corpus" "$dir/artifacts"  # the corpus is kept, so each run starts where the last ended
# Inputs are a few KiB at most, so an allocation over 64 MiB means a header was believed before
# its bytes were counted.
if "$dir/fuzz/model_fuzzer" -max_total_time="${VELMORA_FUZZ_SECONDS:-15}" -malloc_limit_mb=64 \
  -timeout=10 -artifact_prefix="$dir/artifacts/" "$dir/corpus" fuzz/seeds/bmp fuzz/seeds/dib \
  </dev/null >"$log" 2>&1; then
  echo "100% tests passed, 0 tests failed out of 1"
else
  grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -n 20
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi
