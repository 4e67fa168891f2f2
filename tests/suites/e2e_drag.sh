#!/usr/bin/env bash
# As a user: start on a BMP, raise the red offset and pen size with the arrows, open another BMP by
# a double-click in File > Open, drag, read the screen back, and leave by File > Exit with code 0.
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
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
