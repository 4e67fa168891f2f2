# Sourced by the end-to-end suites: velmora.exe built, Wine on a private Xvfb, a scratch folder
# with the test picture, and the program's windows, screen and exit code.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../../.."
. tests/suites/lib/report.sh
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}
cmake --preset windows -B "$build_root/windows" >/dev/null &&
  cmake --build "$build_root/windows" -j 2 --target velmora >/dev/null || finish
. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d)
app_pid=
trap '[ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null; velmora_wine_stop; rm -rf "$work"' EXIT
python3 scripts/make_bmp.py "$work/in.bmp" 300 200 40 80 160  # a colour found nowhere else

find_window() {  # PATTERN: prints the first visible window whose name matches, within 20 s
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep . && return
    sleep 0.2
  done
  return 1
}
start_velmora() {  # ARGS...: sets app_pid and window
  wine "$build_root/windows/shell/velmora.exe" "$@" </dev/null >/dev/null 2>&1 &
  app_pid=$!
  window=$(find_window '^Velmora')
  check "the window appears" test -n "$window"
  [ -n "$window" ] || finish
}
wait_exit() {  # sets rc to the exit code, or "timeout" after 10 s
  timeout 10 tail --pid="$app_pid" -f /dev/null
  rc=timeout
  kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid"; rc=$?; app_pid=; }
}
# colours X,Y...: "r,g,b" at each picture point on a new screenshot, the picture's corner at cx,
# cy. locate: sets cx, cy where the picture's colour first shows.
colours() {
  import -window root -depth 8 "ppm:$work/shot.ppm"
  python3 - "$work/shot.ppm" "${cx:-0}" "${cy:-0}" "$@" <<'PY'
import sys
_, size, _, pixels = open(sys.argv[1], "rb").read().split(b"\n", 3)
w, ox, oy = int(size.split()[0]), int(sys.argv[2]), int(sys.argv[3])
at = [int(v) for p in sys.argv[4:] for v in p.split(",")]
print(*("%d,%d,%d" % tuple(pixels[3 * ((oy + y) * w + ox + x):][:3]) for x, y in zip(at[::2], at[1::2])))
if not at:
    first = next(i // 3 for i in range(0, len(pixels), 3) if pixels[i:i + 3] == b"\x28\x50\xa0")
    print(first % w, first // w)
PY
}
locate() {
  sleep 1
  read -r cx cy < <(colours | tail -n 1)
  check "the picture shows at 1:1" test -n "${cy:-}"
  [ -n "${cy:-}" ] || finish
}
