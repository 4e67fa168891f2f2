#!/usr/bin/env bash
# As a user: start on a BMP, raise the red offset and pen size with the arrows, open another BMP by
# a double-click in File > Open, drag, drag off the window, save with the keys, read the screen and
# the file back, and leave by File > Exit with code 0.
. "$(dirname "$0")/lib/e2e_common.sh"
start_velmora "$(winepath -w "$work/second.bmp" 2>/dev/null)"
check "the title names the file on the command line" find_window '^Velmora - .*second\.bmp$'
locate
# Red offset 60 and pen size 10 from the upper arrows at x 76 and 490 of the bar above the canvas.
xdotool mousemove $((cx + 88)) $((cy - 24)) click --repeat 60 --delay 15 1 \
  mousemove $((cx + 502)) $((cy - 24)) click --repeat 9 --delay 15 1 sleep 0.3
# A double-click on in.bmp, first in the folder File > Open lists and over the canvas, closes the
# dialog with the button still down: the picture that opens must not be painted.
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f o
eval "$(xdotool getwindowgeometry --shell "$(find_window '^開く$')")"
xdotool mousemove $((X + 45)) $((Y + 65)) sleep 0.3 mousedown 1 sleep 0.08 mouseup 1 mousedown 1 sleep 0.5 mouseup 1
check "the double-clicked file names the title" find_window '^Velmora - .*in\.bmp$'
xdotool key --clearmodifiers ctrl+s sleep 1
check "Ctrl+S before a stamp leaves the file as it was" cmp -s "$work/in.bmp" "$work/second.bmp"
sleep 1 && import -window root -depth 8 "ppm:$work/shot.ppm"
check "the double-click, over the picture, leaves it unpainted" test "$(colours 300 200 0 0)" = 40,80,160 \
  -a $((X + 45 >= cx && X + 45 < cx + 300 && Y + 65 >= cy && Y + 65 < cy + 200)) = 1
xdotool mousemove $((cx + 10)) $((cy + 100)) sleep 0.2 mousedown 1 sleep 0.1 \
  $(for x in $(seq 20 10 260); do echo mousemove $((cx + x)) $((cy + 100)) sleep 0.1; done) mouseup 1 \
  mousemove $((cx + 150)) $((cy + 180)) sleep 0.5
import -window root -depth 8 "ppm:$work/shot.ppm"
# Paced moves (a queue of several hands over only the newest) 10 pixels apart, joined by pen 10
# into one band over rows 95 to 104, and only there.
check "the stroke shows where the button was dragged, as wide as the pen" test "$(colours 251 10 10 95)" = 100,80,160
check "the rest of the picture is unchanged" \
  test "$( (colours 300 95 0 0 && colours 300 95 0 105 && colours 30 10 270 95) | sort -u)" = 40,80,160
# The picture is taller than the view: a drag down over the status bar and off the window paints
# only the rows on the screen, and Ctrl+S then writes them to the file.
visible=$(convert "$work/shot.ppm" -crop "1x900+$((cx + 290))+$cy" +repage txt:- | grep -c "#2850A0")
xdotool mousemove $((cx + 285)) $((cy + visible - 40)) sleep 0.2 mousedown 1 sleep 0.1 \
  $(for y in $(seq -30 20 400); do echo mousemove $((cx + 285)) $((cy + visible + y)) sleep 0.1; done) mouseup 1 \
  sleep 0.3 key --clearmodifiers ctrl+s sleep 1
check "a drag off the canvas paints only the rows shown, and Ctrl+S saves them ($visible rows)" \
  python3 - "$work/in.bmp" "$visible" <<'PY'
import sys
data, visible = open(sys.argv[1], "rb").read(), int(sys.argv[2])
def pixel(x, y):  # bottom-up rows of 900 bytes: 300 pixels, blue first
    blue, green, red = data[54 + (899 - y) * 900 + 3 * x:][:3]
    return red, green, blue
painted = [y for y in range(900) if pixel(285, y) != (40, 80, 160)]
# Pen 10 reaches 5 rows above and 4 below the last row the user could see.
sys.exit(not (painted and painted[0] == visible - 45 and painted[-1] <= visible + 3))
PY
xdotool key --clearmodifiers ctrl+o
check "Ctrl+O shows the open dialog" find_window '^開く$'
xdotool key --clearmodifiers Escape sleep 0.3
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
