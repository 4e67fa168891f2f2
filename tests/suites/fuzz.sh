#!/usr/bin/env bash
# Builds the libFuzzer target in the "sanitize" preset's build, which the unit tests share (clang,
# AddressSanitizer, UndefinedBehaviorSanitizer), and runs it from the committed seeds for
# VELMORA_FUZZ_SECONDS (default 15). Inputs are a few KiB, so an allocation over 64 MiB means a
# header was believed before its bytes were counted.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
dir=${VELMORA_BUILD_ROOT:-$PWD/build}/sanitize
mkdir -p "$dir/corpus" "$dir/artifacts"  # the corpus is kept: each run starts where the last ended
# The target writes each input to a file, here rather than in /tmp, so that a run stopped by a
# fault leaves its files in the build.
rm -rf "$dir/scratch"
mkdir -p "$dir/scratch"
fuzz() {
  if ! { cmake --preset sanitize -B "$dir" && cmake --build "$dir" -j 2; } >"$dir/build.log" 2>&1; then
    tail -n 30 "$dir/build.log"
    return 1
  fi
  if ! TMPDIR=$dir/scratch "$dir/fuzz/model_fuzzer" -max_total_time="${VELMORA_FUZZ_SECONDS:-15}" \
    -malloc_limit_mb=64 -timeout=10 -artifact_prefix="$dir/artifacts/" "$dir/corpus" fuzz/seeds/* \
    </dev/null >"$dir/run.log" 2>&1; then
    grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$dir/run.log"
    return 1
  fi
}
check "the model fuzzer from the seeds" fuzz
finish
