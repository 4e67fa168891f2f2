// What the core is held to: pictures as plain bytes, the readers and the addition in 64 bits.
#pragma once

#include <ostream>

#include "image/bmp_file.h"
#include "image/pixel_addition.h"
#include "tests/support/bmp_builders.h"

// Every byte, fourth ones too; a channel takes all 256 values in any 256 pixels.
inline void Scramble(PixelImage& image, uint32_t seed) {
    for (size_t i = 0; i < size_t(image.GetWidth()) * image.GetHeight() * 4; ++i)
        image.RowPixels(0)[i] = uint8_t(i / 4 * (i % 4 * 2 + 1) * 37 + seed * (i % 4 + 3));
}

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    Bytes block;
    // Where the last comparison found the first differing byte, so that both sides print it.
    mutable size_t firstDifference = SIZE_MAX;
    uint8_t* At(int64_t x, int64_t y) { return &block[40 + (size_t(y) * width + x) * 4]; }
};

inline bool operator==(const Picture& got, const Picture& want) {
    const auto [at, other] =
        std::mismatch(got.block.begin(), got.block.end(), want.block.begin(), want.block.end());
    got.firstDifference = want.firstDifference = size_t(at - got.block.begin());
    return at == got.block.end() && other == want.block.end();  // the header holds the size
}

// After a failed comparison, the first differing byte: of the header, or of a pixel (0 blue).
inline void PrintTo(const Picture& p, std::ostream* out) {
    const size_t at = p.firstDifference;
    *out << p.width << "x" << p.height;
    if (at < 40 && at < p.block.size())
        *out << ", header byte " << at << " = " << int(p.block[at]);
    else if (at < p.block.size())
        *out << ", pixel (" << (at - 40) / 4 % p.width << "," << (at - 40) / 4 / p.width
             << ") byte " << (at - 40) % 4 << " = " << int(p.block[at]);
}

inline Picture Capture(const PixelImage& image) {
    const size_t end =
        image.GetHeader() ? 40 + size_t(image.GetWidth()) * image.GetHeight() * 4 : 0;
    return {image.GetWidth(), image.GetHeight(), Bytes(image.GetHeader(), image.GetHeader() + end)};
}

inline Picture Blank(int32_t width, int32_t height) {
    Picture p{width, height, MakeDib(width, height, 32, 40, 0, 0)};
    std::fill(p.block.begin() + 40, p.block.end(), 0);
    PutLe32(p.block, 8, -height);
    return p;
}

// The verdicts, in 64 bits straight from the headers; false when the rows do not fit.
inline bool ModelRows(const Bytes& in, uint64_t offset, int64_t width, int64_t height, int bytes,
                      Picture* out) {
    const uint64_t stride = bytes == 4 ? width * 4 : (width * 3 + 3) / 4 * 4;
    // Divided: the widest image's rows times the tallest would pass 64 bits.
    if (offset > in.size() || uint64_t(height) > (in.size() - offset) / stride)
        return false;
    *out = Blank(int32_t(width), int32_t(height));
    for (int64_t i = 0; i < width * height; ++i) {
        const uint8_t* px = &in[offset + (height - 1 - i / width) * stride + i % width * bytes];
        std::copy(px, px + bytes, out->At(i % width, i / width));
    }
    return true;
}

inline BmpError ModelBmp(const Bytes& f, Picture* out) {
    if (f.size() < 30 || (f[28] | f[29] << 8) != 24)
        return BmpError::kNotBmp24;
    const int64_t width = int32_t(GetLe32(f, 18));
    const int64_t height = int32_t(GetLe32(f, 22));
    if (width < 1 || height < 1)
        return BmpError::kBadSize;
    return ModelRows(f, GetLe32(f, 10), width, height, 3, out) ? BmpError::kNone
                                                               : BmpError::kTruncated;
}

inline bool ModelDib(const Bytes& b, Picture* out) {
    if (b.size() < 40)
        return false;
    const int bits = b[14] | b[15] << 8;
    const int64_t width = int32_t(GetLe32(b, 4));
    const int64_t height = int32_t(GetLe32(b, 8));
    const bool masks = bits == 32 && GetLe32(b, 0) == 40 && GetLe32(b, 16) == 3;
    const uint64_t offset = uint64_t{GetLe32(b, 0)} + (masks ? 12 : 0) + GetLe32(b, 32) * 4ull;
    return (bits == 24 || bits == 32) && width > 0 && height > 0 &&
           ModelRows(b, offset, width, height, bits / 8, out);
}

inline void ModelAdd(Picture& p, int64_t x, int64_t y, const AdjustSettings& s) {
    const int64_t offsets[3] = {s.blue, s.green, s.red};
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return;
    for (int c = 0; c < 3; ++c)
        p.At(x, y)[c] = uint8_t(std::clamp<int64_t>(p.At(x, y)[c] + offsets[c], 0, 255));
}

inline void ModelStamp(Picture& p, const AdjustSettings& s, int32_t x, int32_t y) {
    const int64_t n = s.penSize;
    for (int64_t i = 0; i < n * n; ++i)
        ModelAdd(p, x - n / 2 + i % n, y - n / 2 + i / n, s);
}
