#!/usr/bin/env bash
# End to end through the menus by keyboard: velmora.exe started without a file, a BMP opened
# through File > Open by typing its path into the dialog, saved through File > Save under a name
# typed without extension, and File > Exit expecting exit code 0. Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"
start_velmora
menu_dialog() {  # KEY TITLE PATH: File > KEY, then PATH typed into the dialog so titled
  xdotool windowfocus --sync "$window" key --clearmodifiers alt+f "$1"
  local dialog
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "$2" | head -n 1)
  check "$2 appears" test -n "$dialog"
  [ -n "$dialog" ] || finish
  xdotool type --delay 20 "$(winepath -w "$3" 2>/dev/null)"
  xdotool key Return
}
menu_dialog o '^開く$' "$work/in.bmp"
check "the opened file names the title" wait_title '^Velmora - .*in\.bmp$'
menu_dialog a '^保存$' "$work/out"
check "the name typed without extension is saved with .bmp" wait_title '^Velmora - .*out\.bmp$'
check "the saved file holds the picture, under that name only" \
  bash -c 'cmp <(tail -c +55 "$1/in.bmp") <(tail -c +55 "$1/out.bmp") && test ! -e "$1/out"' _ "$work"
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
wait_exit
check "File > Exit ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
