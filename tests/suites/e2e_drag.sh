#!/usr/bin/env bash
# End to end, as a user would: start velmora.exe on a BMP under Wine in a private Xvfb, raise
# the red offset and the pen size with the up-down arrows, drag across the canvas with the left
# button held, look at the screen, and close the window with Alt+F4 expecting exit code 0.
# Uses (or builds) $VELMORA_BUILD_ROOT/windows. Prints a CTest-style closing line.
. "$(dirname "$0")/lib/e2e_common.sh"

write_picture "$work/e2e.bmp"

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

locate_picture "$work/before.ppm" "the picture shows at 1:1"
click_up_arrows 60 5
# The stroke along row 100 of the picture, from x 10 to x 260.
drag_row 100 10 260
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
wait_exit
check "closing the window ends the program with exit code 0 (got $rc)" test "$rc" = 0
finish
