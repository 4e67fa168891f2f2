// Inputs built byte by byte: BMP files and clipboard blocks whose every pixel is known.
#pragma once

#include <algorithm>

#include "tests/support/scratch.h"

inline void PutLe32(Bytes& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = uint8_t(v >> (8 * i));
}

inline uint32_t GetLe32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// Bottom-up pictures whose every pixel differs from its neighbours in each channel. Header bytes
// past 40 and a colour table of `colours` entries: 0xDD; fourth bytes 0x80 | (8x + y); fill
// bytes `fill`; so a reader taking any of them shows.
inline Bytes MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t headerSize = 40,
                     uint32_t compression = 0, uint8_t fill = 0xEE, uint32_t colours = 0) {
    const bool masks = bits == 32 && headerSize == 40 && compression == 3;
    const size_t head = headerSize + (masks ? 12 : 0) + colours * 4;
    const size_t stride = (size_t(width) * bits / 8 + 3) / 4 * 4;
    Bytes b(head + stride * height, fill);
    std::fill(b.begin(), b.begin() + head, 0xDD);
    const uint32_t fields[] = {headerSize, uint32_t(width), uint32_t(height), 1u | bits << 16,
                               compression};
    for (size_t at = 0; at < 40; at += 4)
        PutLe32(b, at, at < 20 ? fields[at / 4] : at == 32 ? colours : 0);
    for (uint32_t i = 0; masks && i < 3; ++i)
        PutLe32(b, 40 + 4 * i, 0xFF0000u >> (8 * i));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t px[4] = {uint8_t(11 * x + 7 * y + 3), uint8_t(5 * x + 29 * y + 2),
                                   uint8_t(17 * x + 3 * y + 1), uint8_t(0x80 | (x * 8 + y))};
            std::copy(px, px + bits / 8, &b[head + (height - 1 - y) * stride + x * bits / 8]);
        }
    return b;
}

inline Bytes MakeBmp(int32_t width, int32_t height, uint8_t fill = 0xEE, uint32_t infoSize = 40) {
    Bytes b = MakeDib(width, height, 24, infoSize, 0, fill);
    b.insert(b.begin(), {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    PutLe32(b, 10, 14 + infoSize);
    PutLe32(b, 2, uint32_t(b.size()));
    return b;
}
