// Shared checks for the fuzz targets: an invariant that breaks aborts, so libFuzzer records the
// input as a finding exactly as it would a crash.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/pixel_image.h"

#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace fuzz {

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The whole image block (header and pixels) as it stood before a call, so a refusal can be
// shown to have changed nothing at all.
struct Snapshot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> block;
};

inline size_t BlockBytes(const PixelImage& image) {
    if (image.GetHeader() == nullptr) {
        return 0;
    }
    return size_t{kInfoHeaderSize} + size_t(image.GetWidth()) * size_t(image.GetHeight()) * 4;
}

inline Snapshot Take(const PixelImage& image) {
    Snapshot s;
    s.width = image.GetWidth();
    s.height = image.GetHeight();
    if (image.GetHeader() != nullptr) {
        s.block.assign(image.GetHeader(), image.GetHeader() + BlockBytes(image));
    }
    return s;
}

inline bool Unchanged(const PixelImage& image, const Snapshot& s) {
    if (image.GetWidth() != s.width || image.GetHeight() != s.height ||
        BlockBytes(image) != s.block.size()) {
        return false;
    }
    return s.block.empty() || std::memcmp(image.GetHeader(), s.block.data(), s.block.size()) == 0;
}

// A small picture with a different size and colours from anything a tiny input decodes to, so a
// refusal that touched it shows.
inline void StartImage(PixelImage& image) {
    FUZZ_CHECK(image.Create(3, 2));
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            image.SetRed(x, y, 40 * x + 7 * y + 1);
            image.SetGreen(x, y, 200 - 30 * x - y);
            image.SetBlue(x, y, 90 + 11 * x + 50 * y);
        }
    }
}

// The header of a holding image must describe it to the display: 40, width, -height, 1 plane,
// 32 bits, every other field 0.
inline void CheckImageHeader(const PixelImage& image) {
    const uint8_t* h = image.GetHeader();
    FUZZ_CHECK(h != nullptr);
    FUZZ_CHECK(image.GetPixels() == h + kInfoHeaderSize);
    FUZZ_CHECK(Le32(h + 0) == 40);
    FUZZ_CHECK(static_cast<int32_t>(Le32(h + 4)) == image.GetWidth());
    FUZZ_CHECK(static_cast<int32_t>(Le32(h + 8)) == -image.GetHeight());
    FUZZ_CHECK(Le16(h + 12) == 1);
    FUZZ_CHECK(Le16(h + 14) == 32);
    for (int i = 16; i < kInfoHeaderSize; ++i) {
        FUZZ_CHECK(h[i] == 0);
    }
}

// Bytes a header asks for, worked out in 128 bits so no header can wrap it; the code under test
// must reach the same verdict by its own overflow-safe route.
inline bool Fits(uint64_t start, uint64_t rowBytes, uint64_t rows, uint64_t length) {
    const unsigned __int128 need = (unsigned __int128)start + (unsigned __int128)rowBytes * rows;
    return need <= length;
}

inline uint64_t Stride24(int32_t width) {
    return (uint64_t(width) * 3 + 3) / 4 * 4;
}

// Whether the core can hold an image of this size at all (the block size must fit 31 bits).
inline bool Holdable(int32_t width, int32_t height) {
    return uint64_t(width) * uint64_t(height) * 4 + kInfoHeaderSize <= uint64_t(INT32_MAX);
}

}  // namespace fuzz
