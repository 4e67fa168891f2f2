#!/usr/bin/env bash
# A user's drag on a large screen over a large picture, under Wine: stroke_bench.exe opens a
# black picture maximised with red +1 and pen 16, xdotool presses and makes MOVES moves of 4 px
# to the right, one every 4 ms, and the saved picture tells which of them stamped.
#   bench/stroke.sh [BUILD_DIR]      (default build/windows; RUNS=3, SIZE=8192, SCREEN=3840x2160)
# EXE names another build of stroke_bench.exe, such as one of an older canvas to compare with.
# Prints, for each run, the moves that stamped out of MOVES + 1 (the press stamps too), the
# widest gap between stamps, and the program's own timing of each move.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/windows}")
runs=${RUNS:-3} size=${SIZE:-8192} screen=${SCREEN:-3840x2160} moves=${MOVES:-250}
cmake --build "$build" --target stroke_bench >/dev/null
exe=${EXE:-$build/bench/stroke_bench.exe}
. scripts/wine-env.sh
work=$build/stroke-bench
mkdir -p "$work"

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
VELMORA_XVFB_PID=$!
read -r n <"$fifo"
rm -f "$fifo"
export DISPLAY=":$n"
VELMORA_KEEP_DISPLAY=1 velmora_wine_start "$build/wineprefix-bench"
trap velmora_wine_stop EXIT

# Black, so each pixel's red afterwards counts the stamps that covered it.
python3 - "$work/black.bmp" "$size" <<'EOF'
import struct, sys
path, n = sys.argv[1], int(sys.argv[2])
rows = (n * 3 + 3) // 4 * 4 * n
with open(path, "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + rows, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, n, n, 1, 24, 0, 0, 0, 0, 0, 0))
    f.truncate(54 + rows)
EOF

for run in $(seq "$runs"); do
  cp "$work/black.bmp" "$work/in.bmp"
  rm -f "$work/ready" "$work/stop" "$work/after.bmp" "$work/report.txt"
  wine "$exe" "$(winepath -w "$work/in.bmp")" "$(winepath -w "$work")" \
    </dev/null >"$work/log" 2>&1 &
  app=$!
  for _ in $(seq 600); do [ -s "$work/ready" ] && break; sleep 0.1; done
  read -r left top width height < <(tr -d "\r" <"$work/ready")
  x0=$((left + 100)) y=$((top + height / 2))
  stroke=(mousemove "$x0" "$y" sleep 0.3 mousedown 1)
  for i in $(seq "$moves"); do stroke+=(sleep 0.004 mousemove $((x0 + 4 * i)) "$y"); done
  xdotool "${stroke[@]}" sleep 0.004 mouseup 1 sleep 0.5
  touch "$work/stop"
  wait "$app"
  # Along the stroke's row each stamp adds 1 over 16 pixels from its left edge s on: the step
  # in red at x, plus the stamps that began 16 pixels before and ended there, counts the
  # stamps that begin at x.
  python3 - "$work/after.bmp" "$size" $((y - top)) $((moves + 1)) <<'EOF'
import sys
path, n, row, wanted = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
stride = (n * 3 + 3) // 4 * 4
with open(path, "rb") as f:
    f.seek(54 + (n - 1 - row) * stride)
    red = f.read(stride)[2:3 * n:3]
begins, edges = [0] * n, []
for x in range(n):
    begins[x] = red[x] - (red[x - 1] if x else 0) + (begins[x - 16] if x >= 16 else 0)
    edges += [x] * begins[x]
gaps = [b - a for a, b in zip(edges, edges[1:])]
print(f"stamped {len(edges)} of {wanted}; widest gap {max(gaps, default=0)} px")
EOF
  cat "$work/report.txt"
done
