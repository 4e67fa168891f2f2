#!/usr/bin/env bash
# BMP files written by other programs (ImageMagick's convert, Python's Pillow) go through the
# native velmora-cli, and what it writes goes back through them: sizes, refusals and every
# pixel are checked against the same operation done in Python. A tool that is missing skips its
# checks. Ends with a CTest-style closing line.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELMORA_BUILD_ROOT:-$root/build}/native
cli=$build/cli/velmora-cli
if [ ! -x "$cli" ]; then
  { cmake --preset native -B "$build" && cmake --build "$build" --target velmora-cli; } >/dev/null 2>&1
fi

passed=0
failed=0
check() {  # check NAME COMMAND...: one test, passed when the command succeeds
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
  fi
}

python=""
for p in /usr/bin/python3 python3; do
  if command -v "$p" >/dev/null 2>&1 && "$p" -c 'import PIL' 2>/dev/null; then
    python=$p
    break
  fi
done
convert=$(command -v convert || true)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

if [ ! -x "$cli" ]; then
  check "velmora-cli is built" false
fi

# model IN OUT OP...: Pillow reads IN and OUT; OUT must equal IN with OP applied in Python,
# where OP is "add R G B" or "stamp R G B PEN X,Y...".
model() {
  "$python" - "$@" <<'PY'
import sys
from PIL import Image
src, out, op, *args = sys.argv[1:]
a = Image.open(src).convert("RGB")
b = Image.open(out)
if b.mode != "RGB" or b.size != a.size:
    sys.exit(f"{out}: mode {b.mode} size {b.size}, expected RGB {a.size}")
w, h = a.size
px = [list(p) for p in a.getdata()]
clamp = lambda v: max(0, min(255, v))
d = [int(v) for v in args[:3]]
def add(i):
    px[i] = [clamp(c + o) for c, o in zip(px[i], d)]
if op == "add":
    for i in range(w * h):
        add(i)
else:
    n = int(args[3])
    for point in args[4:]:
        x, y = (int(v) for v in point.split(","))
        for yy in range(y - n // 2, y - n // 2 + n):
            for xx in range(x - n // 2, x - n // 2 + n):
                if 0 <= xx < w and 0 <= yy < h:
                    add(yy * w + xx)
got = [list(p) for p in b.getdata()]
bad = [i for i in range(w * h) if got[i] != px[i]]
if bad:
    i = bad[0]
    sys.exit(f"{len(bad)} pixels differ; first at ({i % w},{i // w}): {got[i]} != {px[i]}")
PY
}

# info_is FILE WxH
info_is() { [ "$("$cli" info "$1" 2>&1)" = "$2" ]; }

# refused FILE WHY: exit 1, one stderr line naming the file and why, nothing written
refused() {
  local err rc
  err=$("$cli" add "$1" refused-out.bmp 1 1 1 2>&1 >/dev/null)
  rc=$?
  [ "$rc" -eq 1 ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] &&
    [[ $err == *"$1"*"$2"* ]] && [ ! -e refused-out.bmp ]
}

# same_as_imagemagick VELMORA_FILE: ImageMagick decodes it to the very bytes Pillow does
same_as_imagemagick() {
  "$convert" "$1" -depth 8 rgb:im.rgb &&
    "$python" -c 'import sys; from PIL import Image; sys.exit(Image.open(sys.argv[1]).tobytes() != open(sys.argv[2], "rb").read())' "$1" im.rgb
}

if [ -n "$convert" ] && [ -n "$python" ]; then
  # BMP3: a 40-byte header; the default BMP: a 124-byte header, pixel data from byte 138.
  "$convert" -size 7x5 gradient: -type TrueColor BMP3:im-gradient.bmp
  "$convert" -size 5x3 xc: +noise Random -type TrueColor BMP3:im-noise.bmp
  "$convert" -size 6x4 xc: +noise Random -type TrueColor BMP:im-v5.bmp
  "$convert" -size 4x4 xc:red -type Palette BMP3:im-palette.bmp
  check "ImageMagick gradient: info" info_is im-gradient.bmp 7x5
  check "ImageMagick gradient: add" eval '"$cli" add im-gradient.bmp a.bmp 10 -20 256 && model im-gradient.bmp a.bmp add 10 -20 256'
  check "ImageMagick 5x3 noise: add" eval '"$cli" add im-noise.bmp b.bmp -256 100 -7 && model im-noise.bmp b.bmp add -256 100 -7'
  check "ImageMagick 124-byte header: info" info_is im-v5.bmp 6x4
  check "ImageMagick 124-byte header: stamp" eval '"$cli" stamp im-v5.bmp c.bmp 50 -50 5 3 0,0 5,3 2,2 && model im-v5.bmp c.bmp stamp 50 -50 5 3 0,0 5,3 2,2'
  check "ImageMagick palette file refused" refused im-palette.bmp "not a 24 bits per pixel"
  check "ImageMagick reads velmora's output like Pillow" same_as_imagemagick b.bmp
  check "ImageMagick sees velmora's output as 24-bit 5x3" eval '[ "$("$convert" b.bmp -format "%w %h %[bit-depth]" info:)" = "5 3 8" ]'
fi

if [ -n "$python" ]; then
  "$python" - <<'PY'
import random
from PIL import Image
random.seed(5)
for w, h in [(9, 7), (1, 1), (2, 3), (3, 2), (4, 1), (5, 5)]:
    im = Image.new("RGB", (w, h))
    im.putdata([tuple(random.randrange(256) for _ in range(3)) for _ in range(w * h)])
    im.save(f"pil-{w}x{h}.bmp")
Image.new("RGBA", (3, 3), (1, 2, 3, 4)).save("pil-rgba.bmp")
Image.new("L", (3, 3), 5).save("pil-gray.bmp")
PY
  for size in 9x7 1x1 2x3 3x2 4x1 5x5; do
    check "Pillow $size: info" info_is "pil-$size.bmp" "$size"
    check "Pillow $size: add" eval '"$cli" add pil-$size.bmp d.bmp 33 -77 128 && model pil-$size.bmp d.bmp add 33 -77 128'
  done
  check "Pillow 9x7: stamp pen 4 in place" eval 'cp pil-9x7.bmp e.bmp && "$cli" stamp e.bmp e.bmp -90 90 1 4 0,0 8,6 4,3 4,3 -1,9 && model pil-9x7.bmp e.bmp stamp -90 90 1 4 0,0 8,6 4,3 4,3 -1,9'
  check "Pillow 32-bit file refused" refused pil-rgba.bmp "not a 24 bits per pixel"
  check "Pillow grey file refused" refused pil-gray.bmp "not a 24 bits per pixel"
fi

total=$((passed + failed))
percent=100
[ "$total" -eq 0 ] || percent=$((100 * passed / total))
echo "$percent% tests passed, $failed tests failed out of $total"
[ "$failed" -eq 0 ]
