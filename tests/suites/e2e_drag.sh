#!/usr/bin/env bash
# End to end as a user: velmora.exe started on a BMP, another opened through File > Open by
# typing its path into the dialog, the red offset and the pen size raised with the up-down
# arrows, a drag across the canvas with the left button held, the screen read back, and
# File > Exit expecting exit code 0. Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"
cp "$work/in.bmp" "$work/second.bmp"
start_velmora "$(winepath -w "$work/in.bmp" 2>/dev/null)"
check "the title names the file on the command line" find_window '^Velmora - .*in\.bmp$'
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f o
check "File > Open shows its dialog" find_window '^開く$'
xdotool type --delay 20 "$(winepath -w "$work/second.bmp" 2>/dev/null)"
xdotool key Return
check "the title names the opened file" find_window '^Velmora - .*second\.bmp$'
locate
# Red offset 60 and pen size 6: the upper arrows of the red and pen-size up-downs, 24 x 22 at
# x 76 and x 490 in the 32 pixels above the canvas.
xdotool mousemove $((cx + 88)) $((cy - 24)) click --repeat 60 --delay 15 1
xdotool mousemove $((cx + 502)) $((cy - 24)) click --repeat 5 --delay 15 1 sleep 0.3
# A stroke along row 100 from x 10 to 260, paced: a queue of moves hands over only the newest.
moves=()
for x in $(seq 20 10 260); do moves+=(mousemove $((cx + x)) $((cy + 100)) sleep 0.1); done
xdotool mousemove $((cx + 10)) $((cy + 100)) sleep 0.2 mousedown 1 sleep 0.1 "${moves[@]}" mouseup 1
xdotool mousemove $((cx + 150)) $((cy + 180)) sleep 0.5
on=$(colours $(seq -f '%g,100' 10 10 260) 20,97 20,102)  # pen 6: rows 97 to 102
off=$(colours 15,20 150,60 150,140 290,100 5,190 20,96 20,103)
echo "on: $on"$'\n'"off: $off"
check "the stroke shows where the button was dragged, as wide as the pen" test "$(tr ' ' '\n' <<<"$on" | sort -u)" = 100,80,160
check "the rest of the picture is unchanged" test "$(tr ' ' '\n' <<<"$off" | sort -u)" = 40,80,160
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
