# Sourced by the end-to-end suites (not a suite itself, so ./test.sh extra does not run it):
# counted checks with a CTest-style closing line, velmora.exe built under
# $VELMORA_BUILD_ROOT/windows, Wine in a private Xvfb, a scratch folder, screenshots, and the
# program's exit code. Leaves the caller in the repository root.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../../.."
root=$(pwd)
build_root=${VELMORA_BUILD_ROOT:-$root/build}
build=$build_root/windows
exe=$build/shell/velmora.exe

passed=0
failed=0
check() {  # check NAME COMMAND...: one counted test
  local name=$1
  shift
  if "$@"; then
    echo "  passed: $name"
    passed=$((passed + 1))
  else
    echo "  FAILED: $name"
    failed=$((failed + 1))
  fi
}
finish() {
  local total=$((passed + failed))
  local pct=0
  [ "$total" -eq 0 ] || pct=$((100 * passed / total))
  echo
  echo "$pct% tests passed, $failed tests failed out of $total"
  exit $([ "$failed" -eq 0 ] && echo 0 || echo 1)
}

if ! { cmake --preset windows -B "$build" >/dev/null &&
  cmake --build "$build" -j 2 --target velmora >/dev/null; }; then
  echo "building velmora.exe failed"
  failed=1
  finish
fi

. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d)
app_pid=
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  velmora_wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

# write_picture PATH: a 300 x 200 BMP of one colour no other part of the window shows,
# (40, 80, 160).
write_picture() {
  python3 - "$1" <<'PY'
import struct, sys
w, h = 300, 200
stride = (w * 3 + 3) // 4 * 4
row = bytes((160, 80, 40)) * w + bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + row * h)
PY
}

# Screenshots as binary PPM, read with a few lines of plain Python (no imaging module needed):
# PYTHONPATH=$work and `import ppm`.
shot() { import -window root -depth 8 "ppm:$1"; }
cat >"$work/ppm.py" <<'PY'
def load(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255"
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    return w, h, lambda x, y: tuple(pixels[3 * (y * w + x):3 * (y * w + x) + 3])
PY

# find_picture PPM: prints "x y" of the picture's top-left corner on the screen, the canvas's
# origin; prints nothing when the picture does not show.
find_picture() {
  PYTHONPATH=$work python3 - "$1" <<'PY'
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
for y in range(h):
    for x in range(w):
        if px(x, y) == (40, 80, 160):
            print(x, y)
            sys.exit(0)
PY
}

# wait_exit: waits up to 10 s for the program to end; sets rc to its exit code or "timeout".
wait_exit() {
  rc=timeout
  for _ in $(seq 1 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid"
      rc=$?
      break
    fi
    sleep 0.1
  done
  [ "$rc" = timeout ] || app_pid=
}

# locate_picture PPM NAME: screenshots the screen and sets cx, cy to the picture's top-left
# corner, the canvas's origin; a picture that does not show fails NAME and ends the run.
locate_picture() {
  local origin
  sleep 1
  shot "$1"
  origin=$(find_picture "$1")
  check "$2" test -n "$origin"
  [ -n "$origin" ] || finish
  read -r cx cy <<<"$origin"
}

# click_up_arrows RED PEN: clicks the red up-down's upper arrow RED times and the pen-size
# up-down's PEN times. The adjustment bar sits in the 32 pixels above the canvas: red up-down
# at x 76, pen size at x 490, each 24 x 22 from y 4; their upper arrows are in the top half.
click_up_arrows() {
  xdotool mousemove $((cx + 88)) $((cy - 32 + 8)) click --repeat "$1" --delay 15 1
  xdotool mousemove $((cx + 502)) $((cy - 32 + 8)) click --repeat "$2" --delay 15 1
  sleep 0.3
}

# drag_row Y FROM TO: presses at picture point (FROM, Y), moves every 10 pixels to TO, releases.
# Moves are paced: a queue holding several mouse moves hands the program only the newest.
drag_row() {
  local moves=() x
  for x in $(seq $(($2 + 10)) 10 "$3"); do moves+=(mousemove $((cx + x)) $((cy + $1)) sleep 0.1); done
  xdotool mousemove $((cx + $2)) $((cy + $1)) sleep 0.2 mousedown 1 sleep 0.1 \
    "${moves[@]}" mouseup 1
}
