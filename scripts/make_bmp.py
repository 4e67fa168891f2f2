#!/usr/bin/env python3
"""Writes a 24-bit bottom-up BMP with a 54-byte header, for run.sh's demo picture and the
end-to-end runs.
  make_bmp.py PATH WIDTH HEIGHT           a colour ramp: red 128, green 5y, blue 4x
  make_bmp.py PATH WIDTH HEIGHT R G B     one colour
"""
import struct, sys

path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
colour = [int(c) for c in sys.argv[4:7]]
stride = (w * 3 + 3) // 4 * 4
rows = bytearray()
for y in reversed(range(h)):
    for x in range(w):
        r, g, b = colour or (128, y * 5 % 256, x * 4 % 256)
        rows += bytes((b, g, r))
    rows += bytes(stride - 3 * w)
head = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
head += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
open(path, "wb").write(head + rows)
