#!/usr/bin/env bash
# End to end, as a user would: start velmora.exe on a BMP under Wine in a private Xvfb, raise
# the red offset and the pen size with the up-down arrows, drag across the canvas with the left
# button held, look at the screen, and close the window with Alt+F4 expecting exit code 0.
# Uses (or builds) $VELMORA_BUILD_ROOT/windows. Prints a CTest-style closing line.
set -uo pipefail
cd "$(dirname "$0")/../.."
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

# A 300 x 200 picture of one colour no other part of the window shows: (40, 80, 160).
python3 - "$work/e2e.bmp" <<'PY'
import struct, sys
w, h = 300, 200
stride = (w * 3 + 3) // 4 * 4
row = bytes((160, 80, 40)) * w + bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + row * h)
PY

wine "$exe" "$(winepath -w "$work/e2e.bmp" 2>/dev/null)" </dev/null >/dev/null 2>&1 &
app_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Velmora' 2>/dev/null | head -n 1)
check "the window appears" test -n "$window"
[ -n "$window" ] || finish
# The window shows first as "Velmora"; the file's name follows once creation returns.
for _ in $(seq 1 50); do
  title=$(xdotool getwindowname "$window")
  case $title in "Velmora - "*) break ;; esac
  sleep 0.1
done
check "the title names the loaded file" grep -q '^Velmora - .*e2e\.bmp$' <<<"$title"

# Finds the picture on the screen: its top-left corner is the canvas's origin.
# Screenshots as binary PPM, read with a few lines of plain Python (no imaging module needed).
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
sleep 1
shot "$work/before.ppm"
origin=$(PYTHONPATH=$work python3 - "$work/before.ppm" <<'PY'
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
for y in range(h):
    for x in range(w):
        if px(x, y) == (40, 80, 160):
            print(x, y)
            sys.exit(0)
PY
)
check "the picture shows at 1:1" test -n "$origin"
[ -n "$origin" ] || finish
read -r cx cy <<<"$origin"

# The adjustment bar sits in the 32 pixels above the canvas: red up-down at x 76, pen size at
# x 490, each 24 x 22 from y 4; their upper arrows are in the top half.
xdotool mousemove $((cx + 88)) $((cy - 32 + 8)) click --repeat 60 --delay 15 1
xdotool mousemove $((cx + 502)) $((cy - 32 + 8)) click --repeat 5 --delay 15 1
sleep 0.3

# The stroke: press, then one move every 10 pixels along row 100 of the picture, then release.
# Moves are paced: a queue holding several mouse moves hands the program only the newest.
moves=()
for x in $(seq 20 10 260); do moves+=(mousemove $((cx + x)) $((cy + 100)) sleep 0.1); done
xdotool mousemove $((cx + 10)) $((cy + 100)) sleep 0.2 mousedown 1 sleep 0.1 \
  "${moves[@]}" mouseup 1
xdotool mousemove $((cx + 150)) $((cy + 180))
sleep 0.5
shot "$work/after.ppm"

PYTHONPATH=$work python3 - "$work/after.ppm" "$cx" "$cy" >"$work/colours.txt" <<'PY'
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
cx, cy = int(sys.argv[2]), int(sys.argv[3])
# Pen size 6 covers rows 97..102 around row 100.
on = [px(cx + x, cy + 100) for x in range(10, 261, 10)] + [px(cx + 20, cy + 97), px(cx + 20, cy + 102)]
off = [px(cx + x, cy + y) for x, y in ((15, 20), (150, 60), (150, 140), (290, 100), (5, 190),
                                      (20, 96), (20, 103))]
print("on", " ".join("%d,%d,%d" % c for c in on))
print("off", " ".join("%d,%d,%d" % c for c in off))
PY
cat "$work/colours.txt"
# Red offset 60 with green and blue unchanged: (100, 80, 160) under every stamp.
check "the stroke shows where the button was dragged, as wide as the pen" \
  bash -c '! grep "^on" "$1" | tr " " "\n" | tail -n +2 | grep -qv "^100,80,160$"' _ "$work/colours.txt"
check "the rest of the picture is unchanged" \
  bash -c '! grep "^off" "$1" | tr " " "\n" | tail -n +2 | grep -qv "^40,80,160$"' _ "$work/colours.txt"

xdotool mousemove $((cx + 150)) $((cy + 150)) click 1  # focus; one more stamp, off the checks
xdotool key --clearmodifiers alt+F4
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
check "closing the window ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
