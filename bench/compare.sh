#!/usr/bin/env bash
# Times the whole pipeline, load a 24-bit BMP + add R G B to every pixel + save a 24-bit BMP, as
# separate processes: velmora-cli add against ImageMagick's convert and OpenCV from Python doing
# exactly the same, interleaved run by run so that all three see the same machine. Checks that
# all outputs hold the same pixels, and prints median wall and CPU times, ratios and peak memory.
# Then, when the benchmark program is built, the codec alone in-process: LoadBmp and SaveBmp
# against cv2.imread and cv2.imwrite on the same file.
#
#   bench/compare.sh [BUILD_DIR]      BUILD_DIR defaults to build/native
# Environment: RUNS (default 7), SIZE (default 8192, square), OFFSETS (default "37 -23 200"),
# SETTLE (1: each run after a sync and a pause, see run_tool),
# VELMORA_BENCH_DIR (scratch folder, default /tmp), PYTHON (a Python with cv2 and numpy,
# default /usr/bin/python3), CONVERT (ImageMagick's convert, Q16).
# Exit status: 0 when the outputs agree, 1 when they differ, 2 when something is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
cli=$build/cli/velmora-cli
bench=$build/bench/velmora_bench
runs=${RUNS:-7}
size=${SIZE:-8192}
read -r red green blue <<<"${OFFSETS:-37 -23 200}"
python=${PYTHON:-/usr/bin/python3}
if [ -z "${CONVERT:-}" ]; then
  for c in /usr/bin/convert-im6.q16 /usr/bin/convert; do
    if [ -x "$c" ]; then CONVERT=$c; break; fi
  done
fi
convert=${CONVERT:-convert}

need() { command -v "$1" >/dev/null 2>&1 || { echo "compare.sh: $2" >&2; exit 2; }; }
need "$cli" "no $cli: build the native preset first"
need /usr/bin/time "no /usr/bin/time: run scripts/deps.sh"
need "$convert" "no ImageMagick convert: run scripts/deps.sh"
"$python" -c 'import cv2, numpy' 2>/dev/null || { echo "compare.sh: $python lacks cv2 or numpy" >&2; exit 2; }

work=$(mktemp -d "${VELMORA_BENCH_DIR:-/tmp}/velmora-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 scripts/make_bmp.py "$work/in.bmp" "$size" "$size" noise 2024

cat >"$work/opencv_add.py" <<'EOF'
import sys, cv2
src, dst, r, g, b = sys.argv[1], sys.argv[2], *map(int, sys.argv[3:6])
image = cv2.imread(src, cv2.IMREAD_COLOR)
# Channels are blue, green, red; saturating arithmetic clamps like the program does.
up = tuple(max(0, min(255, v)) for v in (b, g, r)) + (0,)
down = tuple(max(0, min(255, -v)) for v in (b, g, r)) + (0,)
image = cv2.subtract(cv2.add(image, up), down)
cv2.imwrite(dst, image)
EOF

. bench/offsets.sh

# Each tool writes a new file: its last output is removed first, untimed, and with it any of its
# pages still waiting for the disk, so no tool's writing lands on the next one's time. Runs
# follow one another as in a batch job. With SETTLE=1 each run starts instead as one command on
# an idle machine: after a sync and a pause long enough for a virtual machine's host to take
# back the memory freed before (touching it again then costs the next program a fault on the
# host for every page).
run_tool() {  # name, command...
  local name=$1
  shift
  rm -f "$work/$name.bmp"
  if [ "${SETTLE:-0}" = 1 ]; then
    sync
    sleep 3
  fi
  /usr/bin/time -f "%e %U %S %M" -o "$work/$name.time" "$@" >/dev/null 2>"$work/$name.err" || {
    echo "compare.sh: $name failed:" >&2
    cat "$work/$name.err" >&2
    exit 2
  }
  echo "$name $(cat "$work/$name.time")" >>"$work/times"
}

: >"$work/times"
for ((i = 1; i <= runs; i++)); do
  run_tool velmora "$cli" add "$work/in.bmp" "$work/velmora.bmp" "$red" "$green" "$blue"
  run_tool opencv "$python" "$work/opencv_add.py" "$work/in.bmp" "$work/opencv.bmp" "$red" "$green" "$blue"
  run_tool imagemagick "$convert" "$work/in.bmp" "${im_args[@]}" +channel -type TrueColor \
    "BMP3:$work/imagemagick.bmp"
done

# Pixel data compared from each file's own pixel data offset, so header differences between the
# writers do not count; the result is also checked against numpy's own saturating sum.
outputs_ok=0
"$python" - "$work" "$red" "$green" "$blue" <<'EOF' || outputs_ok=1
import struct, sys, numpy as np
work, r, g, b = sys.argv[1], *map(int, sys.argv[2:5])
def pixels(name):
    data = open(f'{work}/{name}.bmp', 'rb').read()
    offset, = struct.unpack_from('<I', data, 10)
    w, h = struct.unpack_from('<ii', data, 18)
    bpp, = struct.unpack_from('<H', data, 28)
    stride = (w * 3 + 3) // 4 * 4
    rows = np.frombuffer(data, np.uint8, stride * h, offset).reshape(h, stride)
    return (w, h, bpp), rows[:, :w * 3]
shape, want = pixels('in')
want = np.clip(want.reshape(shape[1], shape[0], 3).astype(np.int16) + np.array([b, g, r], np.int16), 0, 255).astype(np.uint8)
bad = 0
for name in ('velmora', 'opencv', 'imagemagick'):
    got_shape, got = pixels(name)
    same = got_shape == shape and np.array_equal(got.reshape(want.shape), want)
    print(f'output {name:12s} {"same pixels as the saturating sum" if same else "DIFFERS"}')
    bad += not same
sys.exit(1 if bad else 0)
EOF

file_bytes=$(stat -c %s "$work/in.bmp")
block_bytes=$((40 + 4 * size * size))
"$python" - "$work/times" "$runs" "$size" "$file_bytes" "$block_bytes" <<'EOF'
import os, statistics, sys
path, runs, size, file_bytes, block_bytes = sys.argv[1], *map(int, sys.argv[2:6])
rows = {}
for line in open(path):
    name, wall, user, system, rss = line.split()
    rows.setdefault(name, []).append((float(wall), float(user) + float(system), int(rss)))
med = {n: (statistics.median(w for w, _, _ in v), statistics.median(c for _, c, _ in v),
           max(r for _, _, r in v)) for n, v in rows.items()}
vw, vc, _ = med['velmora']
settle = ' after a sync and a pause' if os.environ.get('SETTLE') == '1' else ' back to back'
print(f'\n{size}x{size}, {runs} runs each, interleaved{settle}; medians')
print(f'{"tool":12s} {"wall s":>8s} {"cpu s":>8s} {"wall/velmora":>13s} {"cpu/velmora":>12s} {"peak MiB":>9s}')
for name in ('velmora', 'opencv', 'imagemagick'):
    w, c, r = med[name]
    print(f'{name:12s} {w:8.3f} {c:8.3f} {w / vw:13.2f} {c / vc:12.2f} {r / 1024:9.1f}')
limit = (file_bytes + block_bytes) * 1.10 / 2**20
peak = med['velmora'][2] / 1024
print(f'\nvelmora peak {peak:.1f} MiB; file buffer + image block + 10 % = {limit:.1f} MiB: '
      f'{"within" if peak <= limit else "OVER"}')
print(f'targets: opencv/velmora >= 2: {med["opencv"][0] / vw:.2f}; '
      f'imagemagick/velmora >= 4: {med["imagemagick"][0] / vw:.2f}')
EOF

if [ -x "$bench" ]; then
  echo
  echo "codec in-process, medians: LoadBmp vs cv2.imread, SaveBmp (new file and over one) vs cv2.imwrite"
  VELMORA_BENCH_DIR=$work "$bench" --benchmark_filter="BM_(LoadBmp|SaveBmp|SaveBmpOver)/w:$size/h:$size/" \
    --benchmark_min_time=2 --benchmark_format=json >"$work/bench.json"
  "$python" - "$work" "$runs" "$work/bench.json" <<'EOF'
import json, os, statistics, sys, time, cv2
work, runs, report = sys.argv[1], int(sys.argv[2]), sys.argv[3]
ours = {b['name'].split('/')[0][3:]: b['median_ms'] for b in json.load(open(report))['benchmarks']}
def median_ms(fn, fresh=None):
    times = []
    for _ in range(runs):
        # A save to a new name starts with no file there, as the benchmark program's does.
        if fresh and os.path.exists(fresh):
            os.remove(fresh)
        start = time.perf_counter()
        fn()
        times.append((time.perf_counter() - start) * 1e3)
    return statistics.median(times)
image = cv2.imread(f'{work}/in.bmp', cv2.IMREAD_COLOR)
theirs = {'LoadBmp': median_ms(lambda: cv2.imread(f'{work}/in.bmp', cv2.IMREAD_COLOR)),
          'SaveBmp': median_ms(lambda: cv2.imwrite(f'{work}/cv-out.bmp', image), f'{work}/cv-out.bmp'),
          'SaveBmpOver': median_ms(lambda: cv2.imwrite(f'{work}/cv-out.bmp', image))}
for op, cv in (('LoadBmp', 'cv2.imread'), ('SaveBmp', 'cv2.imwrite'),
               ('SaveBmpOver', 'cv2.imwrite')):
    print(f'{op:11s} {ours[op]:8.1f} ms   {cv:11s} {theirs[op]:8.1f} ms   ratio {theirs[op] / ours[op]:.2f}')
print('(SaveBmpOver: over an existing file; SaveBmp then waits for the disk, cv2.imwrite does not)')
EOF
fi
exit $outputs_ok
