#!/usr/bin/env bash
# Builds the libFuzzer target (the "fuzz" preset: clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it from the committed seeds for VELMORA_FUZZ_SECONDS (default 15). Inputs are a few KiB,
# so an allocation over 64 MiB means a header was believed before its bytes were counted.
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=${VELMORA_BUILD_ROOT:-$PWD/build}/fuzz
mkdir -p "$dir/corpus" "$dir/artifacts"  # the corpus is kept: each run starts where the last ended
if { cmake --preset fuzz -B "$dir" && cmake --build "$dir" -j 2; } >"$dir/build.log" 2>&1 &&
  "$dir/fuzz/model_fuzzer" -max_total_time="${VELMORA_FUZZ_SECONDS:-15}" -malloc_limit_mb=64 \
    -timeout=10 -artifact_prefix="$dir/artifacts/" "$dir/corpus" fuzz/seeds/* </dev/null >"$dir/run.log" 2>&1; then
  echo "100% tests passed, 0 tests failed out of 1"
else
  tail -n 30 "$dir/build.log"; grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$dir/run.log"
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi
