#!/usr/bin/env bash
# Times the whole pipeline, load a 24-bit BMP + add R G B to every pixel + save a 24-bit BMP, as
# separate processes: velmora-cli add against ImageMagick's convert and OpenCV from Python doing
# exactly the same, interleaved run by run so that all three see the same machine. Checks that
# all outputs hold the same pixels, and prints median wall and CPU times, ratios and peak memory.
# Then, when the benchmark program is built, the codec alone in-process: LoadBmp and SaveBmp
# against cv2.imread and cv2.imwrite on the same file.
# Last, velmora-cli add against cp of the same file, runs alternating, on tmpfs and on disk, at
# several sizes and on one picture past 2 GiB of pixels: wall time, peak memory and time per byte.
#
#   bench/compare.sh [BUILD_DIR]      BUILD_DIR defaults to build/native
# Environment: RUNS (default 7), SIZE (default 8192, square), OFFSETS (default "37 -23 200"),
# SETTLE (1: each run after a sync and a pause, see run_tool),
# VELMORA_BENCH_DIR (scratch folder on disk, default /tmp), PYTHON (a Python with cv2 and numpy,
# default /usr/bin/python3), CONVERT (ImageMagick's convert, Q16), TOOLS (0: skip the three-tool
# comparison), CP_SIZES (default "4096 8192 16384"), BIG (side of the picture past 2 GiB of
# pixels, default 28000; 0 skips it), BIG_RUNS (default 3), TMPFS (default /dev/shm).
# Exit status: 0 when the outputs agree, 1 when they differ, 2 when something is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
cli=$build/cli/velmora-cli
bench=$build/bench/velmora_bench
runs=${RUNS:-7}
size=${SIZE:-8192}
cp_sizes=${CP_SIZES:-4096 8192 16384}
big=${BIG:-28000}
tmpfs=${TMPFS:-/dev/shm}
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
  timed "$work/times" "$name" "$@"
}

# timed FILE NAME COMMAND...: appends "NAME WALL USER SYSTEM PEAK_KIB" to FILE. The wall time is
# the shell's own clock, to the microsecond: time's own is in hundredths, which small pictures
# round to 0.
timed() {
  local file=$1 name=$2 start end
  shift 2
  start=$EPOCHREALTIME
  /usr/bin/time -f "%U %S %M" -o "$work/one.time" "$@" >/dev/null 2>"$work/one.err" || {
    echo "compare.sh: $name failed:" >&2
    cat "$work/one.err" >&2
    exit 2
  }
  end=$EPOCHREALTIME
  echo "$name $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }') $(cat "$work/one.time")" >>"$file"
}

outputs_ok=0
if [ "${TOOLS:-1}" != 0 ]; then
python3 scripts/make_bmp.py "$work/in.bmp" "$size" "$size" noise 2024
: >"$work/times"
for ((i = 1; i <= runs; i++)); do
  run_tool velmora "$cli" add "$work/in.bmp" "$work/velmora.bmp" "$red" "$green" "$blue"
  run_tool opencv "$python" "$work/opencv_add.py" "$work/in.bmp" "$work/opencv.bmp" "$red" "$green" "$blue"
  run_tool imagemagick "$convert" "$work/in.bmp" "${im_args[@]}" +channel -type TrueColor \
    "BMP3:$work/imagemagick.bmp"
done

# Pixel data compared from each file's own pixel data offset, so header differences between the
# writers do not count; the result is also checked against numpy's own saturating sum.
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

"$python" - "$work/times" "$runs" "$size" <<'EOF'
import os, statistics, sys
path, runs, size = sys.argv[1], *map(int, sys.argv[2:4])
rows = {}
for line in open(path):
    name, wall, user, system, rss = line.split()
    rows.setdefault(name, []).append((float(wall), float(user) + float(system), int(rss)))
med = {n: (statistics.median(w for w, _, _ in v), statistics.median(c for _, c, _ in v),
           max(r for _, _, r in v)) for n, v in rows.items()}
vw, vc, _ = med['velmora']
# CPU time comes in hundredths of a second, so a small picture can take none of it.
ratio = lambda a, b: f'{a / b:.2f}' if b > 0 else '-'
settle = ' after a sync and a pause' if os.environ.get('SETTLE') == '1' else ' back to back'
print(f'\n{size}x{size}, {runs} runs each, interleaved{settle}; medians')
print(f'{"tool":12s} {"wall s":>8s} {"cpu s":>8s} {"wall/velmora":>13s} {"cpu/velmora":>12s} {"peak MiB":>9s}')
for name in ('velmora', 'opencv', 'imagemagick'):
    w, c, r = med[name]
    print(f'{name:12s} {w:8.3f} {c:8.3f} {ratio(w, vw):>13s} {ratio(c, vc):>12s} {r / 1024:9.1f}')
print(f'\ntargets: opencv/velmora >= 2: {ratio(med["opencv"][0], vw)}; '
      f'imagemagick/velmora >= 4: {ratio(med["imagemagick"][0], vw)}')
EOF

# The benchmark program times the codec at 8192 x 8192 only.
if [ -x "$bench" ] && [ "$size" = 8192 ]; then
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
rm -f "$work"/*.bmp
fi

# add against cp of one file, in a folder on tmpfs and one on disk, each size's runs alternating
# which goes first. Each run writes a new file; the last one's is removed first, untimed, and on
# disk a sync follows, so that neither pays for the other's writing. The picture past 2 GiB of
# pixels starts as a sparse header that add itself fills, so that cp copies real bytes.
# add_vs_cp DIR WHERE SIDE RUNS
add_vs_cp() {
  local dir=$1 where=$2 side=$3 count=$4 i tool
  local in=$dir/in-$side.bmp stride=$(((side * 3 + 3) / 4 * 4))
  local bytes=$((54 + stride * side))
  # Room for the input and both outputs, with 1 GiB to spare.
  if [ $(($(df -B1 --output=avail "$dir" | tail -n 1) - (1 << 30))) -lt $((3 * bytes)) ]; then
    echo "add vs cp: no room for three files of $bytes bytes in $dir; $side x $side skipped"
    return
  fi
  if [ "$side" -le 16384 ]; then
    python3 scripts/make_bmp.py "$in" "$side" "$side" noise "$side"
  else
    python3 scripts/make_bmp.py "$dir/head.bmp" 1 1
    "$python" -c 'import struct, sys
f = open(sys.argv[1], "r+b")
f.seek(18)
f.write(struct.pack("<ii", int(sys.argv[2]), int(sys.argv[2])))
f.truncate(int(sys.argv[3]))' "$dir/head.bmp" "$side" "$bytes"
    "$cli" add "$dir/head.bmp" "$in" 1 2 3
    rm -f "$dir/head.bmp"
  fi
  for ((i = 1; i <= count; i++)); do
    for tool in $( ((i % 2)) && echo add cp || echo cp add); do
      rm -f "$dir/out-$tool.bmp"
      [ "$where" = tmpfs ] || sync
      if [ "$tool" = add ]; then
        timed "$work/cp-times" "$where $side $bytes add" \
          "$cli" add "$in" "$dir/out-add.bmp" "$red" "$green" "$blue"
      else
        timed "$work/cp-times" "$where $side $bytes cp" cp "$in" "$dir/out-cp.bmp"
      fi
    done
  done
  if [ "$(stat -c %s "$dir/out-add.bmp")" != "$bytes" ]; then
    echo "add vs cp: add wrote a file of the wrong length" >&2
    outputs_ok=1
  fi
  rm -f "$in" "$dir"/out-*.bmp
}

: >"$work/cp-times"
tmpfs_dir=
if [ "$(stat -f -c %T "$tmpfs" 2>/dev/null)" = tmpfs ]; then
  tmpfs_dir=$(mktemp -d "$tmpfs/velmora-compare.XXXXXX")
  trap 'rm -rf "$work" "$tmpfs_dir"' EXIT
else
  echo "add vs cp: $tmpfs is not a tmpfs, so only the disk is timed"
fi
[ "$(stat -f -c %T "$work")" != tmpfs ] || echo "add vs cp: $work is on tmpfs, so 'disk' is not a disk"
for side in $cp_sizes $( [ "$big" = 0 ] || echo "$big"); do
  n=$runs  # small pictures, where a run is short and noise weighs most, get three times as many
  [ "$side" -gt 4096 ] || n=$((3 * runs))
  [ "$side" -le 16384 ] || n=${BIG_RUNS:-3}
  [ -z "$tmpfs_dir" ] || add_vs_cp "$tmpfs_dir" tmpfs "$side" "$n"
  add_vs_cp "$work" disk "$side" "$n"
done

"$python" - "$work/cp-times" "$(uptime)" <<'EOF'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    where, side, size, tool, wall, user, system, rss = line.split()
    runs = rows.setdefault((where, int(side), int(size)), {}).setdefault(tool, [])
    runs.append((float(wall), int(rss)))
print('\nadd against cp of the same file, runs alternating; wall medians, peaks the largest seen')
print(f'{"where":6s} {"size":>12s} {"MiB":>6s} {"runs":>4s} {"cp s":>7s} {"add s":>7s} '
      f'{"add/cp":>6s} {"cp ns/B":>7s} {"add ns/B":>8s} {"cp MiB":>6s} {"add MiB":>7s}')
per_byte, ratios, peaks = {}, {}, []
for (where, side, size), tools in sorted(rows.items()):
    cp, add = (statistics.median(w for w, _ in tools[t]) for t in ('cp', 'add'))
    cp_peak, add_peak = (max(r for _, r in tools[t]) / 1024 for t in ('cp', 'add'))
    per_byte[where, side] = (cp / size * 1e9, add / size * 1e9)
    ratios[where, side] = add / cp
    peaks.append(add_peak)
    print(f'{where:6s} {f"{side}x{side}":>12s} {size / 2**20:6.0f} {len(tools["add"]):4d} '
          f'{cp:7.3f} {add:7.3f} {add / cp:6.2f} {per_byte[where, side][0]:7.3f} '
          f'{per_byte[where, side][1]:8.3f} {cp_peak:6.1f} {add_peak:7.1f}')
print('\ntargets:')
if ('tmpfs', 8192) in ratios:
    print(f'  add <= 1.25 x cp at 8192x8192 on tmpfs: {ratios["tmpfs", 8192]:.2f}')
print(f'  add peak <= 16 MiB at every size: {max(peaks):.1f} MiB')
for where in ('tmpfs', 'disk'):
    flat = [v for (w, s), v in per_byte.items() if w == where and 4096 <= s <= 16384]
    if len(flat) > 1:
        spread = [max(v[i] for v in flat) / min(v[i] for v in flat) for i in (1, 0)]
        print(f'  time per byte flat within 15 % from 4096 to 16384 on {where}: '
              f'slowest / fastest {spread[0]:.2f} (cp itself: {spread[1]:.2f})')
print(f'load when done: {sys.argv[2].strip()}')
EOF
exit $outputs_ok
