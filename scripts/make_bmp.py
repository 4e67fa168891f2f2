#!/usr/bin/env python3
"""Writes a 24-bit bottom-up BMP with a 54-byte header, for run.sh's demo picture, the
end-to-end runs and the benchmarks.
  make_bmp.py PATH WIDTH HEIGHT              a colour ramp: red 128, green 5y, blue 4x
  make_bmp.py PATH WIDTH HEIGHT R G B        one colour
  make_bmp.py PATH WIDTH HEIGHT noise SEED   every pixel byte from a seeded generator, so no
                                             tool can take a shortcut on flat colour
"""
import random, struct, sys

path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
stride = (w * 3 + 3) // 4 * 4
pad = bytes(stride - 3 * w)
if sys.argv[4:5] == ["noise"]:
    rng = random.Random(int(sys.argv[5]))
    rows = b"".join(rng.randbytes(3 * w) + pad for _ in range(h))
else:
    colour = [int(c) for c in sys.argv[4:7]]
    rows = bytearray()
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b = colour or (128, y * 5 % 256, x * 4 % 256)
            rows += bytes((b, g, r))
        rows += pad
head = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
with open(path, "wb") as f:
    f.write(head + rows)
