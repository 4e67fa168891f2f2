#!/usr/bin/env bash
# Opening a large picture as a user does: velmora.exe started under Wine on a SIZE x SIZE BMP,
# timed from launch to its window on screen with the file's name in the title, less the same for
# a 1024 x 1024 picture (mostly Wine starting), beside cp of the big file in the same run; runs
# alternate so that all see the same machine. Also the program's peak memory (VmHWM of its
# process) against its 32-bit image, and velmora-cli add - - over the big file through pipes,
# its peak memory from /usr/bin/time -v.
#
#   bench/open_bench.sh [WINDOWS_BUILD] [NATIVE_BUILD]   default build/windows and build/native
# Environment: RUNS (default 5), SIZE (default 8192), VELMORA_BENCH_DIR (scratch folder on disk,
# default /tmp), PREFIX (the Wine prefix, default build/wineprefix-bench, made on first use).
set -euo pipefail
cd "$(dirname "$0")/.."
windows=${1:-build/windows}
native=${2:-build/native}
runs=${RUNS:-5}
size=${SIZE:-8192}
exe=$windows/shell/velmora.exe
cli=$native/cli/velmora-cli
for f in "$exe" "$cli" /usr/bin/time; do
  [ -x "$f" ] || { echo "open_bench.sh: no $f" >&2; exit 2; }
done
work=$(mktemp -d "${VELMORA_BENCH_DIR:-/tmp}/velmora-open.XXXXXX")
. scripts/wine-env.sh
prefix=$(realpath -m "${PREFIX:-build/wineprefix-bench}")
# A server left by an earlier run would keep its own, gone, display: the windows would never show.
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
velmora_wine_start "$prefix"
app=
trap '[ -z "$app" ] || kill "$app" 2>/dev/null; velmora_wine_stop; rm -rf "$work"' EXIT

python3 scripts/make_bmp.py "$work/big.bmp" "$size" "$size" noise 1
python3 scripts/make_bmp.py "$work/small.bmp" 1024 1024 noise 2

now() { date +%s.%N; }
# Starts velmora.exe on NAME.bmp and waits for its titled window; prints seconds and peak KiB.
open_once() {
  local t0 t1 hwm
  t0=$(now)
  wine "$exe" "$(winepath -w "$work/$1.bmp" 2>/dev/null)" </dev/null >/dev/null 2>&1 &
  app=$!
  for ((i = 0; i < 3000; ++i)); do
    xdotool search --onlyvisible --name "^Velmora - .*$1\.bmp\$" >/dev/null 2>&1 && break
    sleep 0.01
  done
  t1=$(now)
  hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$app/status")
  kill "$app"
  wait "$app" 2>/dev/null || true
  app=
  echo "$(echo "$t1 - $t0" | bc) $hwm"
}
copy_once() {
  local t0
  t0=$(now)
  cp "$work/big.bmp" "$work/copy.bmp"
  echo "$(now) - $t0" | bc
  rm -f "$work/copy.bmp"
}

open_once small >/dev/null  # the prefix's first start and the files into the page cache
cat "$work/big.bmp" >/dev/null
: >"$work/times"
for _ in $(seq "$runs"); do
  read -r small _ < <(open_once small)
  read -r big hwm < <(open_once big)
  echo "$small $big $hwm $(copy_once)" >>"$work/times"
done
python3 - "$work/times" "$size" <<'PY'
import statistics, sys
rows = [[float(v) for v in line.split()] for line in open(sys.argv[1])]
size = int(sys.argv[2])
small, big, hwm, cp = (statistics.median(c) for c in zip(*rows))
diff = statistics.median(b - s for s, b, _, _ in rows)
image = (size * size * 4 + 40) / 2**20
peak = max(r[2] for r in rows) / 1024
print(f"velmora.exe open at {size}x{size}, median of {len(rows)}: {diff:.2f} s over a 1024x1024 "
      f"start ({small:.2f} s); cp {cp:.3f} s; ratio {diff / cp:.1f}")
print(f"velmora.exe peak memory (VmHWM): {peak:.0f} MiB, {peak - image:.0f} MiB over its "
      f"{image:.0f} MiB image")
PY
/usr/bin/time -v "$cli" add - - 10 -20 30 <"$work/big.bmp" >"$work/out.bmp" 2>"$work/time.txt"
echo "velmora-cli add - - at ${size}x$size: peak $(awk '/Maximum resident/ {print int($6 / 1024)}' "$work/time.txt") MiB," \
  "$(awk '/Elapsed/ {print $8}' "$work/time.txt") wall"
