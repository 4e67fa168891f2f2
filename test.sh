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

# Adds one suite's counts. Its exit status is the verdict: a suite that failed without a failed
# test to show for it (a build, a crash of ctest itself) still counts one failure.
tally() {  # SUITE STATUS PASSED FAILED [LABELS]
  local suite=$1 status=$2 npass=$3 nfail=$4 labels=${5:--}
  [ "$status" -eq 0 ] || [ "$nfail" -gt 0 ] || nfail=1
  passed=$((passed + npass))
  failed=$((failed + nfail))
  if [ "$status" -ne 0 ]; then
    [ "$labels" = - ] || suite="$suite ($labels)"
    failed_suites+=("$suite")
  fi
}

build_and_test() {
  local preset=$1 dir=$build_root/$1 log status counts npass nfail labels
  log=$(mktemp)
  echo "=== $preset: configure and build in $dir"
  if cmake --preset "$preset" -B "$dir" >"$log" 2>&1 && cmake --build "$dir" -j "$jobs" >>"$log" 2>&1; then
    echo "=== $preset: tests"
    # Programs under Wine print code page 932; the log reads as UTF-8 like the rest.
    local text=(cat)
    [ "$preset" != windows ] || text=(iconv -c -f CP932 -t UTF-8)
    rm -f "$dir/junit.xml"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --output-junit "$dir/junit.xml" 2>&1 |
      "${text[@]}"
    status=${PIPESTATUS[0]}
    if counts=$(python3 scripts/ctest_tally.py "$dir" "$dir/junit.xml"); then
      read -r npass nfail labels <<<"$counts"
      tally "$preset" "$status" "$npass" "$nfail" "$labels"
    else
      tally "$preset" 1 0 1
    fi
  else
    tail -n 60 "$log"
    echo "=== $preset: build failed"
    tally "$preset" 1 0 1
  fi
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
      # Runs that need a desktop of their own: tests/suites/*.sh, each counting its checks in
      # a closing line of CTest's form and failing by its exit status.
      for script in tests/suites/*.sh; do
        [ -e "$script" ] || continue
        log=$(mktemp)
        echo "=== $script"
        VELMORA_BUILD_ROOT=$build_root bash "$script" 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
        counts=$(sed -nE 's/.*% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$log" | tail -n 1)
        read -r nfail total <<<"${counts:-0 0}"
        tally "$script" "$status" $((total - nfail)) "$nfail"
        rm -f "$log"
      done
      ;;
    *)
      echo "unknown suite: $suite"
      tally "$suite" 1 0 1
      ;;
  esac
done

if [ ${#failed_suites[@]} -gt 0 ]; then
  printf 'failing suite: %s\n' "${failed_suites[@]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
