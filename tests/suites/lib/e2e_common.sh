# Sourced by the end-to-end suites (not a suite itself, so ./test.sh extra does not run it):
# counted checks with a CTest-style closing line, velmora.exe built under
# $VELMORA_BUILD_ROOT/windows, Wine in a private Xvfb, a scratch folder, screenshots, and the
# program's exit code. Leaves the caller in the repository root.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../../.."
root=$(pwd)
build_root=${VELMORA_BUILD_ROOT:-$root/build}
build=$build_root/windows
exe=$build/shell/velmora.exe

passed=0
failed=0
check() {  # check NAME COMMAND...: one counted test
  local name=$1
  shift
  if "$@"; then
    echo "  passed: $name"
    passed=$((passed + 1))
  else
    echo "  FAILED: $name"
    failed=$((failed + 1))
  fi
}
finish() {
  local total=$((passed + failed))
  local pct=0
  [ "$total" -eq 0 ] || pct=$((100 * passed / total))
  echo
  echo "$pct% tests passed, $failed tests failed out of $total"
  exit $([ "$failed" -eq 0 ] && echo 0 || echo 1)
}

if ! { cmake --preset windows -B "$build" >/dev/null &&
  cmake --build "$build" -j 2 --target velmora >/dev/null; }; then
  echo "building velmora.exe failed"
  failed=1
  finish
fi

. scripts/wine-env.sh
velmora_wine_start "$build_root/wineprefix"
work=$(mktemp -d)
app_pid=
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  velmora_wine_stop
  rm -rf "$work"
}
trap cleanup EXIT

# write_picture PATH: a 300 x 200 BMP of one colour no other part of the window shows,
# (40, 80, 160).
write_picture() {
  python3 - "$1" <<'PY'
import struct, sys
w, h = 300, 200
stride = (w * 3 + 3) // 4 * 4
row = bytes((160, 80, 40)) * w + bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + row * h)
PY
}

# Screenshots as binary PPM, read with a few lines of plain Python (no imaging module needed):
# PYTHONPATH=$work and `import ppm`.
shot() { import -window root -depth 8 "ppm:$1"; }
cat >"$work/ppm.py" <<'PY'
def load(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255"
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    return w, h, lambda x, y: tuple(pixels[3 * (y * w + x):3 * (y * w + x) + 3])
PY

# find_picture PPM: prints "x y" of the picture's top-left corner on the screen, the canvas's
# origin; prints nothing when the picture does not show.
find_picture() {
  PYTHONPATH=$work python3 - "$1" <<'PY'
import sys, ppm
w, h, px = ppm.load(sys.argv[1])
for y in range(h):
    for x in range(w):
        if px(x, y) == (40, 80, 160):
            print(x, y)
            sys.exit(0)
PY
}

# wait_exit: waits up to 10 s for the program to end; sets rc to its exit code or "timeout".
wait_exit() {
  rc=timeout
  for _ in $(seq 1 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid"
      rc=$?
      break
    fi
    sleep 0.1
  done
  [ "$rc" = timeout ] || app_pid=
}
