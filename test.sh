#!/usr/bin/env bash
# Builds everything and runs every test: the native build, the sanitizer build, and the Windows
# build under Wine on a private Xvfb display. Installs whatever is missing first.
#   ./test.sh                 all suites
#   ./test.sh native windows  only those suites (native, sanitize, windows, extra)
# VELMORA_BUILD_ROOT puts the build folders elsewhere (default: ./build).
set -uo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build_root=${VELMORA_BUILD_ROOT:-$root/build}
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(native sanitize windows extra)

scripts/deps.sh || { echo "installing the dependencies failed"; exit 1; }
. scripts/wine-env.sh

passed=0
failed=0
failed_suites=()
jobs=$(nproc 2>/dev/null || echo 2)

# Adds up CTest's closing count for one suite; a suite that fails to build counts as one failure.
count_ctest() {
  local log=$1 suite=$2 line total nfail
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    failed_suites+=("$suite")
    return
  fi
  nfail=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - nfail))
  failed=$((failed + nfail))
  [ "$nfail" -eq 0 ] || failed_suites+=("$suite")
}

build_and_test() {
  local preset=$1 dir=$build_root/$1 log
  log=$(mktemp)
  echo "=== $preset: configure and build in $dir"
  if cmake --preset "$preset" -B "$dir" >"$log" 2>&1 && cmake --build "$dir" -j "$jobs" >>"$log" 2>&1; then
    echo "=== $preset: tests"
    # Programs under Wine print code page 932; the log reads as UTF-8 like the rest.
    local text=(cat)
    [ "$preset" != windows ] || text=(iconv -c -f CP932 -t UTF-8)
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 2>&1 | "${text[@]}" | tee "$log"
  else
    tail -n 60 "$log"
    echo "=== $preset: build failed"
  fi
  count_ctest "$log" "$preset"
  rm -f "$log"
}

for suite in "${suites[@]}"; do
  case $suite in
    native | sanitize)
      build_and_test "$suite"
      ;;
    windows)
      velmora_wine_start "$build_root/wineprefix"
      build_and_test windows
      velmora_wine_stop
      ;;
    extra)
      # Runs that need a desktop of their own: tests/suites/*.sh, each printing a CTest-style
      # closing line.
      for script in tests/suites/*.sh; do
        [ -e "$script" ] || continue
        log=$(mktemp)
        echo "=== $script"
        VELMORA_BUILD_ROOT=$build_root bash "$script" 2>&1 | tee "$log"
        count_ctest "$log" "$script"
        rm -f "$log"
      done
      ;;
    *)
      echo "unknown suite: $suite"
      failed=$((failed + 1))
      ;;
  esac
done

if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "failing suites: ${failed_suites[*]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
