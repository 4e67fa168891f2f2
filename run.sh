#!/usr/bin/env bash
# Installs whatever is missing, builds Velmora and runs it.
#   ./run.sh [FILE.bmp]   builds velmora.exe and starts it under Wine on this display, opening
#                         FILE.bmp, or a demo picture it makes when no file is named
#   ./run.sh --cli        runs velmora-cli on a demo image instead and prints what it did
#   ./run.sh --help       prints this and does nothing else
set -euo pipefail
# Help first, before the folder changes (which would break a relative $0) or anything is touched:
# the comment block above, and only that.
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
  exit 0
fi
cd "$(dirname "$0")"
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}

# A 64 x 48 colour ramp.
make_demo() { python3 scripts/make_bmp.py "$1" 64 48; }

run_cli() {
  local build=$build_root/native
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target velmora-cli >/dev/null
  local cli=$build/cli/velmora-cli demo
  demo=$(mktemp -d)
  make_demo "$demo/demo.bmp"
  set -x
  "$cli" info "$demo/demo.bmp"
  "$cli" add "$demo/demo.bmp" "$demo/brighter.bmp" 40 40 -60
  "$cli" stamp "$demo/brighter.bmp" "$demo/stamped.bmp" 256 -256 0 16 10,10 32,24 60,40
  "$cli" info "$demo/stamped.bmp"
  { set +x; } 2>/dev/null
  echo "demo images are in $demo"
}

run_window() {
  if [ -z "${DISPLAY:-}" ]; then
    cat >&2 <<'TEXT'
Velmora is a window program and this session has no display (DISPLAY is not set).
Run it from a desktop session, over SSH with X forwarding (ssh -X), or on a virtual display:
  xvfb-run -s "-screen 0 1280x1024x24" ./run.sh        (nothing visible; for a smoke test)
The headless demo needs no display:  ./run.sh --cli
TEXT
    exit 1
  fi
  local build=$build_root/windows
  cmake --preset windows -B "$build" >/dev/null
  cmake --build "$build" --target velmora >/dev/null

  # A prefix of its own with the Japanese code page, apart from the tests' unmanaged one, so a
  # desktop's window manager frames the window as usual.
  . scripts/wine-env.sh
  velmora_wine_env "$build_root/wineprefix-run"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "preparing a Wine prefix in $WINEPREFIX (once, about half a minute)"
    velmora_wine_prepare
  fi

  local file=${1:-}
  if [ -z "$file" ]; then
    file=$build_root/demo.bmp
    make_demo "$file"
  fi
  local arg
  arg=$(winepath -w "$(realpath "$file")" 2>/dev/null)
  echo "starting velmora.exe on $file"
  set +e
  wine "$build/shell/velmora.exe" "$arg" 2>/dev/null
  local rc=$?
  set -e
  echo "velmora.exe ended with exit code $rc"
  return $rc
}

scripts/deps.sh
case ${1:-} in
  --cli) run_cli ;;
  *) run_window "$@" ;;
esac
