#!/usr/bin/env bash
# End to end through the menus, as a user would: start velmora.exe under Wine in a private Xvfb
# with no file, open a BMP through File > Open (typing its path into the dialog), raise the red
# offset, paint a stroke with a drag, save under a new name typed without extension through
# File > Save, and read the saved file's pixels back. Then the image size box and File > Exit.
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
python3 - "$work/in.bmp" <<'PY'
import struct, sys
w, h = 300, 200
stride = (w * 3 + 3) // 4 * 4
row = bytes((160, 80, 40)) * w + bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + row * h)
PY
in_path=$(winepath -w "$work/in.bmp" 2>/dev/null)
out_path=$(winepath -w "$work/out" 2>/dev/null)

# Waits up to 10 s for a visible window whose whole name matches; prints its id.
find_window() {
  local id
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
# Waits up to 10 s for the main window's title to match.
wait_title() {
  for _ in $(seq 1 100); do
    title=$(xdotool getwindowname "$window" 2>/dev/null)
    grep -q "$1" <<<"$title" && return 0
    sleep 0.1
  done
  return 1
}
# Menu commands by keyboard, on whatever window has the focus.
keys() {
  xdotool key --clearmodifiers "$@"
  sleep 0.3
}

wine "$exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
window=$(find_window '^Velmora$')
check "the window appears without a file" test -n "$window"
[ -n "$window" ] || finish
sleep 0.5
xdotool windowfocus --sync "$window" 2>/dev/null

# File > Open: type the path into the dialog's name box and accept it.
keys alt+f o
dialog=$(find_window '^開く$')
check "File > Open shows the open dialog" test -n "$dialog"
[ -n "$dialog" ] || finish
xdotool type --delay 20 "$in_path"
keys Return
check "the opened file names the title" wait_title '^Velmora - .*in\.bmp$'

# Finds the picture on the screen: its top-left corner is the canvas's origin.
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
sleep 0.5
shot "$work/opened.ppm"
origin=$(PYTHONPATH=$work python3 - "$work/opened.ppm" <<'PY'
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
for y in range(h):
    for x in range(w):
        if px(x, y) == (40, 80, 160):
            print(x, y)
            sys.exit(0)
PY
)
check "the opened picture shows on the canvas" test -n "$origin"
[ -n "$origin" ] || finish
read -r cx cy <<<"$origin"

# Red offset 30 (upper arrow of the red up-down, 32 pixels above the canvas at x 76..100) and
# pen size 4 (pen-size up-down at x 490..514), then a stroke along row 50 from x 20 to x 200.
xdotool mousemove $((cx + 88)) $((cy - 32 + 8)) click --repeat 30 --delay 15 1
xdotool mousemove $((cx + 502)) $((cy - 32 + 8)) click --repeat 3 --delay 15 1
sleep 0.3
moves=()
for x in $(seq 30 10 200); do moves+=(mousemove $((cx + x)) $((cy + 50)) sleep 0.1); done
xdotool mousemove $((cx + 20)) $((cy + 50)) sleep 0.2 mousedown 1 sleep 0.1 \
  "${moves[@]}" mouseup 1
sleep 0.3

# File > Save (the name typed without extension): the bitmap filter appends ".bmp".
keys alt+f a
dialog=$(find_window '^保存$')
check "File > Save shows the save dialog" test -n "$dialog"
[ -n "$dialog" ] || finish
xdotool type --delay 20 "$out_path"
keys Return
check "the saved name, with .bmp appended, names the title" wait_title '^Velmora - .*out\.bmp$'
for _ in $(seq 1 50); do [ -s "$work/out.bmp" ] && break; sleep 0.1; done
check "nothing is written under the name as typed" test ! -e "$work/out"

python3 - "$work/out.bmp" >"$work/pixels.txt" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
w, h, planes, bits = struct.unpack_from("<iiHH", data, 18)
print("size", w, h, bits)
stride = (w * 3 + 3) // 4 * 4
def px(x, y):  # red, green, blue of (x, y), top row 0
    b, g, r = data[offset + (h - 1 - y) * stride + 3 * x:][:3]
    return "%d,%d,%d" % (r, g, b)
# Pen size 4 covers rows 48..51 around row 50 and columns from 18 to 201.
print("on", *[px(x, 50) for x in range(20, 201, 10)], px(20, 48), px(20, 51), px(200, 48))
print("off", *[px(x, y) for x, y in ((10, 50), (100, 20), (100, 47), (100, 52), (250, 50),
                                     (299, 199), (0, 0))])
PY
cat "$work/pixels.txt"
check "the saved file is the 300 x 200 picture in 24 bits" grep -q '^size 300 200 24$' "$work/pixels.txt"
check "the saved file holds the stroke with the red offset" \
  bash -c 'grep -q "^on " "$1" && ! grep "^on" "$1" | tr " " "\n" | tail -n +2 | grep -qv "^70,80,160$"' _ "$work/pixels.txt"
check "the rest of the saved picture is unchanged" \
  bash -c 'grep -q "^off " "$1" && ! grep "^off" "$1" | tr " " "\n" | tail -n +2 | grep -qv "^40,80,160$"' _ "$work/pixels.txt"

# Image information > Image size: its box names the size; Return closes it.
keys alt+i s
box=$(find_window '^画像サイズ$')
check "the image size box appears" test -n "$box"
[ -z "$box" ] || keys Return

# File > Exit ends the program with exit code 0, without asking.
xdotool windowfocus --sync "$window" 2>/dev/null
keys alt+f x
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
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
