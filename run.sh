#!/usr/bin/env bash
# Installs whatever is missing, builds Velmora and runs it. Until the window lands this runs
# velmora-cli on a demo image it makes, and prints what it did.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
build=${VELMORA_BUILD_ROOT:-$PWD/build}/native
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" --target velmora-cli >/dev/null
cli=$build/cli/velmora-cli
demo=$(mktemp -d)
python3 - "$demo/demo.bmp" <<'PY'
import struct, sys
w, h = 64, 48
stride = (w * 3 + 3) // 4 * 4
rows = bytearray()
for r in range(h):
    y = h - 1 - r
    row = bytearray()
    for x in range(w):
        row += bytes((x * 4 % 256, y * 5 % 256, 128))
    rows += row + bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + rows)
PY
set -x
"$cli" info "$demo/demo.bmp"
"$cli" add "$demo/demo.bmp" "$demo/brighter.bmp" 40 40 -60
"$cli" stamp "$demo/brighter.bmp" "$demo/stamped.bmp" 256 -256 0 16 10,10 32,24 60,40
"$cli" info "$demo/stamped.bmp"
{ set +x; } 2>/dev/null
echo "demo images are in $demo"
