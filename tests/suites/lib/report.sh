# Sourced by the script suites: `check NAME COMMAND...` counts one check by the command's status;
# `finish` prints the CTest closing line test.sh reads, and fails on any failed check or on none.
passed=0 failed=0
check() {
  local name=$1 verdict
  shift
  if "$@"; then passed=$((passed + 1)) verdict=passed; else failed=$((failed + 1)) verdict=FAILED; fi
  echo "  $verdict: $name"
}
finish() {
  [ $((passed + failed)) -gt 0 ] || failed=1
  echo "$((100 * passed / (passed + failed)))% tests passed, $failed tests failed out of $((passed + failed))"
  exit $((failed > 0))
}
