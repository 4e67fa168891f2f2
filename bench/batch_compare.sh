#!/usr/bin/env bash
# Times one addition over many files: velmora-cli add-all against a shell loop of single
# velmora-cli add calls and against ImageMagick's mogrify doing exactly the same arithmetic,
# interleaved run by run so that all three see the same machine. Checks that the loop's outputs
# are byte for byte add-all's and that mogrify's hold the same pixels, and prints the median,
# the spread and the ratios.
#
#   bench/batch_compare.sh [BUILD_DIR]      BUILD_DIR defaults to build/native
# Environment: RUNS (default 5), FILES (default 200), SIZE (default 1024, square),
# OFFSETS (default "37 -23 200"), JOBS (add-all's -j; default: every core),
# INPLACE (1: also time add-all and the loop replacing the files in place, where each save
# waits for the disk), J1 (1: also time add-all on one thread), VELMORA_BENCH_DIR (scratch
# folder, default /tmp), MOGRIFY (ImageMagick's mogrify, Q16).
# Exit status: 0 when the outputs agree, 1 when they differ, 2 when something is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
cli=$(realpath "$build/cli/velmora-cli")
runs=${RUNS:-5}
files=${FILES:-200}
size=${SIZE:-1024}
read -r red green blue <<<"${OFFSETS:-37 -23 200}"
mogrify=${MOGRIFY:-mogrify}
jobs=()
[ -z "${JOBS:-}" ] || jobs=(-j "$JOBS")

need() { command -v "$1" >/dev/null 2>&1 || { echo "batch_compare.sh: $2" >&2; exit 2; }; }
need "$cli" "no $cli: build the native preset first"
need "$mogrify" "no ImageMagick mogrify: run scripts/deps.sh"
need python3 "no python3"

work=$(mktemp -d "${VELMORA_BENCH_DIR:-/tmp}/velmora-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"

for ((i = 0; i < files; i++)); do
  python3 scripts/make_bmp.py "$(printf '%s/in/img%04d.bmp' "$work" "$i")" "$size" "$size" noise "$i"
done

. bench/offsets.sh

loop_add() {  # folder: one velmora-cli add per file, as a user's shell loop would
  local f
  for f in "$work"/in/*.bmp; do
    "$cli" add "$f" "$1/${f##*/}" "$red" "$green" "$blue" || return 1
  done
}
loop_in_place() {
  local f
  for f in "$1"/*.bmp; do
    "$cli" add "$f" "$f" "$red" "$green" "$blue" || return 1
  done
}
export -f loop_add loop_in_place
export work cli red green blue

# Each tool writes into a fresh folder, emptied untimed beforehand; in-place runs get a fresh
# copy of the inputs, also untimed. A sync before each run keeps the previous tool's writing
# off its time.
run_tool() {  # name, command...
  local name=$1
  shift
  rm -rf "$work/out-$name"
  mkdir "$work/out-$name"
  case $name in *in-place) cp "$work"/in/*.bmp "$work/out-$name/" ;; esac
  sync
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/$name.err" || {
    echo "batch_compare.sh: $name failed:" >&2
    cat "$work/$name.err" >&2
    exit 2
  }
  end=$(date +%s.%N)
  echo "$name $(echo "$end - $start" | bc)" >>"$work/times"
}

: >"$work/times"
for ((i = 1; i <= runs; i++)); do
  run_tool add-all "$cli" add-all "$red" "$green" "$blue" --to "$work/out-add-all" "${jobs[@]}" \
    --quiet "$work"/in/*.bmp
  [ "${J1:-0}" = 1 ] && run_tool add-all-j1 "$cli" add-all "$red" "$green" "$blue" \
    --to "$work/out-add-all-j1" -j 1 --quiet "$work"/in/*.bmp
  run_tool loop bash -c 'loop_add "$work/out-loop"'
  run_tool mogrify "$mogrify" -path "$work/out-mogrify" -format bmp -define bmp:format=bmp3 \
    "${im_args[@]}" +channel -type TrueColor "$work"/in/*.bmp
  if [ "${INPLACE:-0}" = 1 ]; then
    run_tool add-all-in-place bash -c "\"$cli\" add-all $red $green $blue --in-place ${jobs[*]} \
      --quiet \"$work\"/out-add-all-in-place/*.bmp"
    run_tool loop-in-place bash -c 'loop_in_place "$work/out-loop-in-place"'
  fi
done

# The loop's files must be add-all's byte for byte; mogrify's are compared by their pixel rows
# from each file's own pixel data offset, so header differences between the writers do not count.
outputs_ok=0
python3 - "$work" "$files" <<'EOF' || outputs_ok=1
import os, struct, sys
work, count = sys.argv[1], int(sys.argv[2])
def rows(path):
    data = open(path, 'rb').read()
    offset, = struct.unpack_from('<I', data, 10)
    w, h = struct.unpack_from('<ii', data, 18)
    stride = (w * 3 + 3) // 4 * 4
    return (w, h), [data[offset + r * stride: offset + r * stride + w * 3] for r in range(h)]
names = sorted(os.listdir(f'{work}/in'))
bad = 0
for tool in [t for t in ('add-all-j1', 'loop', 'mogrify', 'add-all-in-place', 'loop-in-place')
             if os.path.isdir(f'{work}/out-{t}')]:
    differ = 0
    for name in names:
        want = open(f'{work}/out-add-all/{name}', 'rb').read()
        got_path = f'{work}/out-{tool}/{name}'
        if tool == 'mogrify':
            differ += rows(got_path) != rows(f'{work}/out-add-all/{name}')
        else:
            differ += open(got_path, 'rb').read() != want
    print(f'output {tool:17s} {"same as add-all" if not differ else f"DIFFERS in {differ} files"}')
    bad += differ
sys.exit(1 if bad else 0)
EOF

python3 - "$work/times" "$runs" "$files" "$size" <<'EOF'
import statistics, sys
path, runs, files, size = sys.argv[1], *map(int, sys.argv[2:5])
times = {}
for line in open(path):
    name, wall = line.split()
    times.setdefault(name, []).append(float(wall))
base = statistics.median(times['add-all'])
print(f'\n{files} files of {size}x{size}, {runs} runs each, interleaved; wall seconds')
print(f'{"tool":17s} {"median":>8s} {"min":>8s} {"max":>8s} {"files/s":>8s} {"/add-all":>9s}')
for name, v in times.items():
    m = statistics.median(v)
    print(f'{name:17s} {m:8.2f} {min(v):8.2f} {max(v):8.2f} {files / m:8.1f} {m / base:9.2f}')
print(f'\ntargets: loop/add-all >= 1.8: {statistics.median(times["loop"]) / base:.2f}; '
      f'mogrify/add-all > 1: {statistics.median(times["mogrify"]) / base:.2f}')
if 'add-all-in-place' in times:
    print(f'in place: loop/add-all {statistics.median(times["loop-in-place"]) / statistics.median(times["add-all-in-place"]):.2f}')
EOF
exit $outputs_ok
