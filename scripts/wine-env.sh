# Sourced by the test and run scripts: a Wine prefix inside the build folder, with the Japanese
# code page. velmora_wine_env PREFIX_DIR sets the environment for it and velmora_wine_prepare
# makes the prefix once; the tests' velmora_wine_start PREFIX_DIR does both, unmanaged, on a
# private Xvfb display, and velmora_wine_stop ends the display and the prefix's wineserver.

velmora_wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  # Code page 932 for every Windows program we start; the locale must exist (scripts/deps.sh).
  export LANG=ja_JP.UTF-8
  unset LC_ALL
}

velmora_wine_prepare() {  # [unmanaged]
  [ ! -f "$WINEPREFIX/system.reg" ] || return 0
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null
  if [ "${1:-}" = unmanaged ]; then
    # No window manager runs under Xvfb, and managed windows make every top-level window's
    # destruction wait about two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  fi
  wineserver -w
}

velmora_wine_start() {
  velmora_wine_env "$1"
  if [ -z "${VELMORA_KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -displayfd lets the server pick a free display number itself: no races with other runs.
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    VELMORA_XVFB_PID=$!
    local n
    read -r n <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$n"
  fi
  velmora_wine_prepare unmanaged
  # One persistent server for the whole run; its daemons must not hold our output open.
  { wineserver -p && wine wineboot; } >/dev/null 2>&1 </dev/null
}

velmora_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${VELMORA_XVFB_PID:-}" ]; then
    kill "$VELMORA_XVFB_PID" 2>/dev/null || true
    wait "$VELMORA_XVFB_PID" 2>/dev/null || true
    VELMORA_XVFB_PID=
  fi
}
