# Sourced by the end-to-end suites: velmora.exe, Wine on a private Xvfb, the test picture, screens.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../../.."
. tests/suites/lib/report.sh
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}
cmake --preset windows -B "$build_root/windows" >/dev/null &&
  cmake --build "$build_root/windows" -j 2 --target velmora >/dev/null || finish
. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d) app_pid=
trap '[ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null; velmora_wine_stop; rm -rf "$work"' EXIT
python3 scripts/make_bmp.py "$work/in.bmp" 300 900 40 80 160  # a colour found nowhere else
cp "$work/in.bmp" "$work/second.bmp"

find_window() {  # PATTERN: prints the first visible window whose name matches, within 20 s
  timeout 20 bash -c 'until xdotool search --onlyvisible --name "$0" 2>/dev/null | grep -m 1 .; do sleep 0.2; done' "$1"
}
start_velmora() {  # ARGS...: sets app_pid and window
  (cd "$work" && exec wine "$build_root/windows/shell/velmora.exe" "$@" </dev/null >/dev/null 2>&1) &
  app_pid=$!
  window=$(find_window '^Velmora') || finish
}
wait_exit() {  # sets rc to the exit code, or "timeout" after 10 s
  timeout 10 tail --pid="$app_pid" -f /dev/null
  if kill -0 "$app_pid" 2>/dev/null; then rc=timeout; else wait "$app_pid"; rc=$? app_pid=; fi
}
# colours W H X Y: the colours ("r,g,b" lines) in that part of the picture on the last shot.
colours() {
  convert "$work/shot.ppm" -crop "$1x$2+$((cx + $3))+$((cy + $4))" +repage -unique-colors txt:- |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3/p'
}
locate() {  # takes a shot; sets cx, cy to the picture's corner on the screen
  sleep 1
  import -window root -depth 8 "ppm:$work/shot.ppm"
  read -r cx cy < <(convert "$work/shot.ppm" txt:- | sed -n '/#2850A0/{s/^\([0-9]*\),\([0-9]*\):.*/\1 \2/p;q}')
  check "the picture shows at 1:1" test -n "${cy:-}"
  [ -n "${cy:-}" ] || finish
}
