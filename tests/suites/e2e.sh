#!/usr/bin/env bash
# velmora.exe under Wine on a private Xvfb, as a user drives it, then at three scales.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}
cmake --preset windows -B "$build_root/windows" >/dev/null &&
  cmake --build "$build_root/windows" -j 2 --target velmora shell_tests >/dev/null || finish
. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d) app_pid=
trap '[ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null; velmora_wine_stop; rm -rf "$work"' EXIT
python3 scripts/make_bmp.py "$work/in.bmp" 300 900 40 80 160  # a colour found nowhere else
cp "$work/in.bmp" "$work/second.bmp"

find_window() {  # PATTERN: the first visible window so named, within 20 s
  timeout 20 sh -c 'until xdotool search --onlyvisible --name "$0" | grep -m1 .; do sleep .2; done' "$1" 2>/dev/null
}
# PATTERN: Escape to that dialog until it is gone, as a key sent before it has the focus is lost.
dismiss() {
  timeout 20 sh -c 'while w=$(xdotool search --onlyvisible --name "$0" | head -1) && [ -n "$w" ]; do
    xdotool windowfocus --sync "$w" key --clearmodifiers Escape sleep .5; done' "$1" 2>/dev/null
}
start_velmora() {  # ARGS...: sets app_pid and window
  (cd "$work" && exec wine "$build_root/windows/shell/velmora.exe" "$@" </dev/null >/dev/null 2>&1) &
  app_pid=$!
  window=$(find_window '^Velmora') || finish
}
# colours W H X Y: the "r,g,b" lines in that part of the picture on the last shot.
colours() {
  convert "$work/shot.ppm" -crop "$1x$2+$((cx + $3))+$((cy + $4))" +repage -unique-colors txt:- |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3/p'
}

# As a user: set the offsets, open by a double-click, drag, save, copy and paste by the keys,
# and leave.
start_velmora "$(winepath -w "$work/second.bmp" 2>/dev/null)"
check "the title names the file given" find_window '^Velmora - .*second\.bmp$'
sleep 1 && import -window root -depth 8 "ppm:$work/shot.ppm"
read -r cx cy < <(convert "$work/shot.ppm" txt:- | sed -n '/#2850A0/{s/^\([0-9]*\),\([0-9]*\):.*/\1 \2/p;q}')
check "the picture shows at 1:1" test -n "${cy:-}"
[ -n "${cy:-}" ] || finish
# Red 60 and pen 10 from the upper arrows at x 76 and 490 of the bar.
xdotool mousemove $((cx + 88)) $((cy - 24)) click --repeat 60 --delay 15 1 \
  mousemove $((cx + 502)) $((cy - 24)) click --repeat 9 --delay 15 1 sleep 0.3
# Double-clicking in.bmp, over the canvas, shuts File > Open with the button down.
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f o
eval "$(xdotool getwindowgeometry --shell "$(find_window '^開く$')")"
xdotool mousemove $((X + 45)) $((Y + 65)) sleep .3 mousedown 1 sleep .08 mouseup 1 mousedown 1 sleep .5 mouseup 1
check "the double-clicked file names the title" find_window '^Velmora - .*in\.bmp$'
sleep 1 && import -window root -depth 8 "ppm:$work/shot.ppm"
check "the double-click paints nothing" test "$(colours 300 200 0 0)" = 40,80,160 \
  -a $((X + 45 >= cx && X + 45 < cx + 300 && Y + 65 >= cy && Y + 65 < cy + 200)) = 1
xdotool mousemove $((cx + 10)) $((cy + 100)) sleep 0.2 mousedown 1 sleep 0.1 \
  $(for x in $(seq 20 10 260); do echo mousemove $((cx + x)) $((cy + 100)) sleep .1; done) mouseup 1 \
  mousemove $((cx + 150)) $((cy + 180)) sleep 0.5
import -window root -depth 8 "ppm:$work/shot.ppm"
# Paced moves (a queue hands over only the newest) 10 px apart, joined by pen 10
# into one band over rows 95 to 104; the window tests hold the rest to a model.
check "the stroke is where dragged, pen-wide" test "$(colours 251 10 10 95)" = 100,80,160
xdotool key --clearmodifiers ctrl+s sleep 1
check "Ctrl+S after a stamp saves the stroke: pixel (150,100), blue first" \
  test "$(od -An -tu1 -j $((54 + 799 * 900 + 3 * 150)) -N 3 "$work/in.bmp" | xargs)" = "160 80 100"
xdotool key --clearmodifiers ctrl+o
check "Ctrl+O shows the open dialog" find_window '^開く$'
dismiss '^開く$'
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+shift+s
check "Ctrl+Shift+S shows the save dialog" find_window '^保存$'
dismiss '^保存$'
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+c sleep .3 key --clearmodifiers ctrl+v
check "Ctrl+C, Ctrl+V pastes the picture, with no name" find_window '^Velmora - $'
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f x
timeout 10 tail --pid="$app_pid" -f /dev/null
kill "$app_pid" 2>/dev/null  # still running after 10 s
wait "$app_pid"
check "File > Exit ends the program with code 0 (got $?)" test "$?" = 0
app_pid=
velmora_wine_stop

# At 100, 150 and 200 %, each in its prefix: the layout test, then 1-pixel checks.
python3 scripts/make_bmp.py "$work/checks.bmp" 64 64 checks
mkdir -p "$build_root/dpi"
# Only real Windows stretches a program that does not say it is aware.
check "velmora.exe declares per-monitor awareness" \
  grep -q PerMonitorV2 <(strings "$build_root/windows/shell/velmora.exe")
layout_test() {  # SCALE: the window tests' layout check, its failures shown
  VELMORA_TEST_DPI=$1 wine "$build_root/windows/tests/shell/shell_tests.exe" --gtest_filter=*Layout* \
    </dev/null 2>&1 | iconv -c -f CP932 -t UTF-8 | grep -A4 Failure >&2
  [ "${PIPESTATUS[0]}" = 0 ]
}
shown_at_one_to_one() {  # PNG: the checks, from its first magenta pixel
  local at
  at=$(convert "$1" txt:- | sed -n '/#FF00FF/{s/^\([0-9]*\),\([0-9]*\):.*/+\1+\2/p;q}')
  [ -n "$at" ] && [ "$(compare -metric AE "$1[64x64$at]" "$work/checks.bmp" null: 2>&1)" = 0 ]
}
for scale in 96 144 192; do
  prefix=$build_root/wineprefix-dpi$scale
  if [ ! -f "$prefix/.scale" ]; then  # the prepared prefix, copied once per scale
    rm -rf "$prefix" && cp -a "$build_root/wineprefix" "$prefix"
    for key in 'HKCU\Control Panel\Desktop' 'HKCU\Software\Wine\Fonts'; do
      WINEPREFIX=$prefix wine reg add "$key" /v LogPixels /t REG_DWORD /d "$scale" /f &>/dev/null </dev/null
    done
    WINEPREFIX=$prefix wineserver -w  # the scale is read at the next start
    touch "$prefix/.scale"
  fi
  velmora_wine_start "$prefix"
  check "at $scale dpi the bar and fonts scale, the picture not" layout_test "$scale"
  start_velmora checks.bmp >/dev/null
  sleep 1
  import -window root "$build_root/dpi/scale-$scale.png"
  check "at $scale dpi the checks show at 1:1 (build/dpi/scale-$scale.png)" \
    shown_at_one_to_one "$build_root/dpi/scale-$scale.png"
  velmora_wine_stop  # and with the server, the program
  wait "$app_pid" 2>/dev/null
  app_pid=
done
finish
