#!/usr/bin/env bash
# velmora.exe under Wine on a private Xvfb, as a user drives it, then the layout at three scales.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
build_root=${VELMORA_BUILD_ROOT:-$PWD/build}
cmake --preset windows -B "$build_root/windows" >/dev/null &&
  cmake --build "$build_root/windows" -j 2 --target velmora shell_tests >/dev/null || finish
. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d)
trap 'velmora_wine_stop; rm -rf "$work"' EXIT  # the program ends with its server
python3 scripts/make_bmp.py "$work/in.bmp" 300 900 40 80 160  # a colour found nowhere else
cp "$work/in.bmp" "$work/second.bmp"

find_window() {  # PATTERN: the first visible window so named, within 20 s
  timeout 20 sh -c 'until xdotool search --onlyvisible --name "$0" | grep -m1 .; do sleep .2; done' "$1" 2>/dev/null
}
# colours W H X Y: the "r,g,b" lines in that part of the picture on the screen now.
colours() {
  import -window root -depth 8 "ppm:$work/shot.ppm"
  convert "$work/shot.ppm" -crop "$1x$2+$((cx + $3))+$((cy + $4))" +repage -unique-colors txt:- |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3/p'
}

# As a user: set the offsets, open by a double-click, drag, and use the keys.
(cd "$work" && exec wine "$build_root/windows/shell/velmora.exe" "$(winepath -w "$work/second.bmp" 2>/dev/null)" </dev/null >/dev/null 2>&1) &
window=$(find_window '^Velmora') || finish
check "the title names the file given" find_window '^Velmora - .*second\.bmp$'
sleep 1 && import -window root -depth 8 "ppm:$work/shot.ppm"
read -r cx cy < <(convert "$work/shot.ppm" txt:- | sed -n '/#2850A0/{s/^\([0-9]*\),\([0-9]*\):.*/\1 \2/p;q}')
check "the picture shows" test -n "${cy:-}"
[ -n "${cy:-}" ] || finish
# Red 60 and pen 10 from the upper arrows at x 76 and 490 of the bar.
xdotool mousemove $((cx + 88)) $((cy - 24)) click --repeat 60 --delay 15 1 \
  mousemove $((cx + 502)) $((cy - 24)) click --repeat 9 --delay 15 1 sleep 0.3
# Double-clicking in.bmp, over the canvas, shuts File > Open with the button down.
xdotool windowfocus --sync "$window" key --clearmodifiers alt+f o
eval "$(xdotool getwindowgeometry --shell "$(find_window '^開く$')")"
xdotool mousemove $((X + 45)) $((Y + 65)) sleep .3 mousedown 1 sleep .08 mouseup 1 mousedown 1 sleep .5 mouseup 1 sleep 1
check "the double-clicked file names the title" find_window '^Velmora - .*in\.bmp$'
check "the double-click paints nothing" test "$(colours 300 200 0 0)" = 40,80,160 \
  -a $((X + 45 >= cx && X + 45 < cx + 300 && Y + 65 >= cy && Y + 65 < cy + 200)) = 1
xdotool mousemove $((cx + 10)) $((cy + 100)) sleep 0.2 mousedown 1 sleep 0.1 \
  $(for x in $(seq 20 10 260); do echo mousemove $((cx + x)) $((cy + 100)) sleep .1; done) mouseup 1 \
  mousemove $((cx + 150)) $((cy + 180)) sleep 0.5
# Paced moves 10 px apart (a queue hands over only the newest), joined by pen 10 in rows 95-104.
check "the stroke is where dragged, pen-wide" test "$(colours 251 10 10 95)" = 100,80,160
for key in ctrl+o=開く ctrl+shift+s=保存; do  # Escape until the dialog has the focus and goes
  xdotool windowfocus --sync "$window" key --clearmodifiers "${key%=*}"
  check "${key%=*} shows the ${key#*=} dialog" find_window "^${key#*=}\$"
  timeout 20 sh -c 'while w=$(xdotool search --onlyvisible --name "$0" | head -1) && [ -n "$w" ]; do
    xdotool windowfocus --sync "$w" key --clearmodifiers Escape sleep .5; done' "^${key#*=}\$" 2>/dev/null
done
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+c sleep .3 key --clearmodifiers ctrl+v
check "Ctrl+C, Ctrl+V pastes the picture, with no name" find_window '^Velmora - $'
check "velmora.exe declares per-monitor awareness, or real Windows would stretch it" \
  grep -q PerMonitorV2 <(strings "$build_root/windows/shell/velmora.exe")
velmora_wine_stop

# At 100, 150 and 200 %, each in its prefix: the window tests' layout check, its failures shown.
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
  VELMORA_TEST_DPI=$scale wine "$build_root/windows/tests/shell/shell_tests.exe" --gtest_filter=*Layout* \
    </dev/null 2>&1 | iconv -c -f CP932 -t UTF-8 | grep -A4 Failure >&2
  check "at $scale dpi the frame, bars and fonts scale, the picture not" test "${PIPESTATUS[0]}" = 0
  velmora_wine_stop
done
finish
