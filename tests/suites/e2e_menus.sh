#!/usr/bin/env bash
# End to end through the menus, as a user would: start velmora.exe under Wine in a private Xvfb
# with no file, open a BMP through File > Open (typing its path into the dialog), raise the red
# offset, paint a stroke with a drag, save under a new name typed without extension through
# File > Save, and read the saved file's pixels back. Then a double-click in the open dialog must
# not paint the picture it opens, and the image size box and File > Exit.
# Uses (or builds) $VELMORA_BUILD_ROOT/windows. Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"

write_picture "$work/in.bmp"
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

# Opens a file dialog from the menu keys, types the path into its name box and accepts it.
through_dialog() {  # menu key, title pattern, what, path
  keys alt+f "$1"
  local dialog
  dialog=$(find_window "$2")
  check "$3 shows its dialog" test -n "$dialog"
  [ -n "$dialog" ] || finish
  xdotool type --delay 20 "$4"
  keys Return
}

# File > Open.
through_dialog o '^開く$' "File > Open" "$in_path"
check "the opened file names the title" wait_title '^Velmora - .*in\.bmp$'

locate_picture "$work/opened.ppm" "the opened picture shows on the canvas"
# Red offset 30 and pen size 4, then a stroke along row 50 from x 20 to x 200.
click_up_arrows 30 3
drag_row 50 20 200
sleep 0.3

# File > Save (the name typed without extension): the bitmap filter appends ".bmp".
through_dialog a '^保存$' "File > Save" "$out_path"
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

# With the red offset still set, File > Open again and a double-click on in.bmp, the list's first
# entry, which lies over the canvas: the dialog closes on the second press, and the picture that
# opens must show unpainted under the mouse. The second press is held long enough for the
# window's first move to arrive while the button is still down.
keys alt+f o
dialog=$(find_window '^開く$')
check "File > Open shows its dialog again" test -n "$dialog"
[ -n "$dialog" ] || finish
eval "$(xdotool getwindowgeometry --shell "$dialog")"
mx=$((X + 45)) my=$((Y + 65))
xdotool mousemove $mx $my sleep 0.3 mousedown 1 sleep 0.08 mouseup 1 mousedown 1 sleep 0.5 mouseup 1
check "the double-clicked file names the title" wait_title '^Velmora - .*in\.bmp$'
sleep 1
shot "$work/reopened.ppm"
check "the double-click leaves the opened picture unpainted" env PYTHONPATH="$work" python3 -c '
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
cx, cy, mx, my = map(int, sys.argv[2:])
inside = cx <= mx < cx + 300 and cy <= my < cy + 200
sys.exit(not inside or any(px(x, y) != (40, 80, 160) for y in range(cy, cy + 200) for x in range(cx, cx + 300)))
' "$work/reopened.ppm" "$cx" "$cy" "$mx" "$my"

# Image information > Image size: its box names the size; Return closes it.
keys alt+i s
box=$(find_window '^画像サイズ$')
check "the image size box appears" test -n "$box"
[ -z "$box" ] || keys Return

# File > Exit ends the program with exit code 0, without asking.
xdotool windowfocus --sync "$window" 2>/dev/null
keys alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
