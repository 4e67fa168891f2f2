# `check NAME COMMAND...` counts its status, its output unseen; `finish` prints CTest's last line.
passed=0 failed=0
check() {
  local name=$1 verdict
  shift
  if "$@" >/dev/null; then passed=$((passed + 1)) verdict=passed; else failed=$((failed + 1)) verdict=FAILED; fi
  echo "  $verdict: $name"
}
finish() {
  [ $((passed + failed)) -gt 0 ] || failed=1
  echo "$((100 * passed / (passed + failed)))% tests passed, $failed tests failed out of $((passed + failed))"
  exit $((failed > 0))
}
