#!/usr/bin/env python3
"""Writes small seed inputs for the fuzz targets: valid files and blocks of every row padding,
and broken ones next to each rule the readers enforce.

    make_seeds.py OUT_DIR     creates OUT_DIR/bmp, OUT_DIR/dib and OUT_DIR/cmdline
"""
import os
import struct
import sys


def pixels(width, height, stride, bpp):
    rows = []
    for r in range(height):
        row = bytearray()
        for x in range(width):
            row += bytes(((17 * x + r) & 255, (5 * x + 29 * r) & 255, (11 * x + 7 * r) & 255))
            if bpp == 32:
                row.append((x * 13 + r) & 255)
        row += b"\xee" * (stride - len(row))
        rows.append(bytes(row))
    return b"".join(rows)


def stride24(width):
    return (width * 3 + 3) // 4 * 4


def bmp(width, height, bpp=24, offset=54, rows=None, gap=b"", compression=0, magic=b"BM"):
    if rows is None:
        rows = pixels(max(width, 0), max(abs(height), 0), stride24(max(width, 0)), 24)
    body = gap + rows
    size = 54 + len(body)
    header = magic + struct.pack("<IHHI", size & 0xFFFFFFFF, 0, 0, offset & 0xFFFFFFFF)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, 0, 0, 0, 0, 0)
    return header + info + body


def dib(width, height, bpp=24, header_size=40, compression=0, extra=b"", rows=None):
    if rows is None:
        w, h = max(width, 0), max(abs(height), 0)
        rows = pixels(w, h, stride24(w) if bpp == 24 else 4 * w, bpp)
    info = struct.pack("<IiiHHIIiiII", header_size & 0xFFFFFFFF, width, height, 1, bpp,
                       compression, 0, 0, 0, 0, 0)
    info += b"\0" * max(0, min(header_size, 256) - 40)
    return info + extra + rows


def bmp_seeds():
    s = {}
    for w in range(1, 6):
        s[f"valid_{w}x3"] = bmp(w, 3)
    s["valid_1x1"] = bmp(1, 1)
    s["offset_60"] = bmp(2, 2, offset=60, gap=b"\xab" * 6)
    s["offset_inside_headers"] = bmp(1, 1, offset=20)
    s["magic_and_compression_ignored"] = bmp(2, 1, magic=b"XY", compression=1)
    s["one_byte_short"] = bmp(3, 2)[:-1]
    s["top_down"] = bmp(2, -2, rows=pixels(2, 2, 8, 24))
    s["zero_width"] = bmp(0, 3, rows=b"")
    for bpp in (1, 8, 16, 32):
        s[f"bpp_{bpp}"] = bmp(2, 2, bpp=bpp)
    s["thirteen_bytes"] = bmp(1, 1)[:13]
    s["twenty_nine_bytes"] = bmp(1, 1)[:29]
    s["headers_only"] = bmp(0, 0, rows=b"")
    s["width_max"] = bmp(0x7FFFFFFF, 1, rows=b"\0" * 16)
    s["height_max"] = bmp(1, 0x7FFFFFFF, rows=b"\0" * 16)
    s["both_max"] = bmp(0x7FFFFFFF, 0x7FFFFFFF, rows=b"\0" * 16)
    s["offset_near_4g"] = bmp(1, 1, offset=0xFFFFFFFC)
    s["width_min"] = bmp(-0x80000000, 1, rows=b"\0" * 16)
    return s


def dib_seeds():
    s = {}
    for w in range(1, 6):
        s[f"rgb24_{w}x2"] = dib(w, 2)
        s[f"rgb32_{w}x2"] = dib(w, 2, bpp=32)
    s["rgb24_3x2_63_bytes"] = dib(3, 2)[:63]
    s["header_124"] = dib(2, 2, header_size=124)
    s["bitfields_masks"] = dib(2, 2, bpp=32, compression=3,
                               extra=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF))
    s["header_52_bitfields"] = dib(2, 2, bpp=32, header_size=52, compression=3)
    s["bpp_16"] = dib(2, 2, bpp=16)
    s["bpp_8"] = dib(2, 2, bpp=8)
    s["thirty_nine_bytes"] = dib(1, 1)[:39]
    s["top_down"] = dib(2, -2, rows=pixels(2, 2, 8, 24))
    s["header_size_huge"] = dib(1, 1, header_size=0xFFFFFFF0)
    s["width_max"] = dib(0x7FFFFFFF, 1, rows=b"\0" * 16)
    s["height_max_32"] = dib(1, 0x7FFFFFFF, bpp=32, rows=b"\0" * 16)
    s["header_only"] = dib(0, 0, rows=b"")
    return s


def cmdline_seeds():
    # First byte: capacity of the path buffer; the rest: the command line.
    lines = {
        "quoted_path": (255, b'"C:\\Program Files\\velmora.exe" "C:\\My Pictures\\a b.bmp"'),
        "unquoted": (255, b"velmora.exe C:\\a.bmp"),
        "two_names": (255, b"velmora.exe a.bmp b.bmp"),
        "trailing_blanks": (255, b'velmora.exe "a.bmp"  '),
        "lone_quote": (255, b'velmora.exe "'),
        "no_argument": (255, b"velmora.exe"),
        "tabs": (255, b"velmora.exe\t\t  x.bmp"),
        "sjis_name": (255, b'"C:\\\x95\x5c\\v.exe" \x83\x5c.bmp'),
        "lead_byte_before_quote": (255, b'"\x81"x" y.bmp'),
        "lead_byte_at_end": (255, b'"abc\x81'),
        "unclosed_name": (255, b'"no closing quote'),
        "exact_fit": (6, b'v.exe "a.b"'),
        "one_short": (5, b"v.exe a.bmp"),
        "zero_capacity": (0, b"v.exe a.bmp"),
        "control_bytes": (255, b"v.exe\x01\x02\x1f q"),
    }
    return {name: bytes([cap]) + text for name, (cap, text) in lines.items()}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    for kind, seeds in (("bmp", bmp_seeds()), ("dib", dib_seeds()), ("cmdline", cmdline_seeds())):
        folder = os.path.join(out, kind)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
