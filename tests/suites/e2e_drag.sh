#!/usr/bin/env bash
# End to end as a user: velmora.exe started on a BMP, the red offset and the pen size raised with
# the up-down arrows, a drag across the canvas with the left button held, the screen read back,
# and Alt+F4 expecting exit code 0. Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"
start_velmora "$(winepath -w "$work/in.bmp" 2>/dev/null)"
check "the title names the loaded file" wait_title '^Velmora - .*in\.bmp$'
locate
click_up_arrows 60 5
drag_row 100 10 260  # pen size 6: rows 97 to 102
xdotool mousemove $((cx + 150)) $((cy + 180)) sleep 0.5
# Red offset 60 under every stamp, and only there.
on=$(colours $(seq -f '%g,100' 10 10 260) 20,97 20,102)
off=$(colours 15,20 150,60 150,140 290,100 5,190 20,96 20,103)
echo "on: $on"$'\n'"off: $off"
check "the stroke shows where the button was dragged, as wide as the pen" test "$(tr ' ' '\n' <<<"$on" | sort -u)" = 100,80,160
check "the rest of the picture is unchanged" test "$(tr ' ' '\n' <<<"$off" | sort -u)" = 40,80,160
xdotool mousemove $((cx + 150)) $((cy + 150)) click 1 key --clearmodifiers alt+F4
wait_exit
check "closing the window ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
