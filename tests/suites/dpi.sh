#!/usr/bin/env bash
# At 100, 150 and 200 % display scale, each in a Wine prefix of its own: the window tests' layout
# check, then the program on a picture of 1-pixel checks, whose screen is kept in build/dpi/.
. "$(dirname "$0")/lib/e2e_common.sh"
cmake --build "$build_root/windows" -j 2 --target shell_tests >/dev/null || finish
python3 scripts/make_bmp.py "$work/checks.bmp" 64 64 checks
mkdir -p "$build_root/dpi"
# Only real Windows stretches a program that declares no awareness, so the declaration is checked.
check "velmora.exe declares per-monitor awareness" \
  grep -q PerMonitorV2 <(strings "$build_root/windows/shell/velmora.exe")

layout_test() {  # SCALE: the window tests' layout check, its failures shown
  VELMORA_TEST_DPI=$1 wine "$build_root/windows/tests/shell/shell_tests.exe" \
    --gtest_filter=ShellTest.LayoutFollowsTheDisplayScale >"$work/layout.log" 2>&1 </dev/null && return
  iconv -c -f CP932 -t UTF-8 "$work/layout.log" | grep -A4 Failure
  return 1
}
shown_at_one_to_one() {  # PNG: from its first magenta pixel on, the screen holds the file's pixels
  local at
  at=$(convert "$1" txt:- | sed -n '/#FF00FF/{s/^\([0-9]*\),\([0-9]*\):.*/+\1+\2/p;q}')
  [ -n "$at" ] && [ "$(compare -metric AE "$1[64x64$at]" "$work/checks.bmp" null: 2>&1)" = 0 ]
}

velmora_wine_stop
for scale in 96 144 192; do
  prefix=$build_root/wineprefix-dpi$scale
  if [ ! -f "$prefix/.scale" ]; then  # a copy of the prepared prefix at this scale, made once
    rm -rf "$prefix" && cp -a "$build_root/wineprefix" "$prefix"
    for key in 'HKCU\Control Panel\Desktop' 'HKCU\Software\Wine\Fonts'; do
      WINEPREFIX=$prefix wine reg add "$key" /v LogPixels /t REG_DWORD /d "$scale" /f >/dev/null 2>&1 </dev/null
    done
    WINEPREFIX=$prefix wineserver -w  # the scale is read at the next start
    touch "$prefix/.scale"
  fi
  velmora_wine_start "$prefix"
  check "at $scale dpi the bar, its boxes and fonts scale and the picture does not" layout_test "$scale"
  start_velmora checks.bmp >/dev/null
  sleep 1
  import -window root "$build_root/dpi/scale-$scale.png"
  check "at $scale dpi the screen shows the checks at 1:1 (build/dpi/scale-$scale.png)" \
    shown_at_one_to_one "$build_root/dpi/scale-$scale.png"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=
  velmora_wine_stop
done
finish
