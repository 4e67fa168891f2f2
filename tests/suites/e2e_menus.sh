#!/usr/bin/env bash
# End to end through the menus by keyboard: velmora.exe started without a file, a BMP opened
# through File > Open by typing its path into the dialog, and File > Exit expecting exit code 0.
# Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"
start_velmora
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f o
check "File > Open shows its dialog" find_window '^開く$'
xdotool type --delay 20 "$(winepath -w "$work/in.bmp" 2>/dev/null)"
xdotool key Return
check "the opened file names the title" wait_title '^Velmora - .*in\.bmp$'
locate
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
