#include "image/pixel_addition.h"

#include <algorithm>
#include <cstddef>

#include "image/pixel_addition_internal.h"
#include "image/simd.h"

namespace {

// One channel's offset split into what saturating byte arithmetic needs: an amount to add and an
// amount to subtract, at most one of them non-zero. A channel starts at 0..255, so any offset of
// 255 or more already pins it to 255 and any of -255 or less to 0: cutting the offset to 255 in
// size changes no result, and lets the saturation of 8-bit adds do all the clamping.
struct SplitOffset {
    uint8_t add;
    uint8_t subtract;
};

SplitOffset Split(int32_t offset) {
    const int32_t cut = std::min<int32_t>(255, std::max<int32_t>(-255, offset));
    return SplitOffset{static_cast<uint8_t>(cut > 0 ? cut : 0),
                       static_cast<uint8_t>(cut < 0 ? -cut : 0)};
}

// The three offsets as blue, green, red, in the order of a pixel's bytes.
struct PixelOffsets {
    SplitOffset channel[3];
};

PixelOffsets MakeOffsets(const AdjustSettings& settings) {
    return PixelOffsets{{Split(settings.blue), Split(settings.green), Split(settings.red)}};
}

bool AllZero(const AdjustSettings& settings) {
    return settings.red == 0 && settings.green == 0 && settings.blue == 0;
}

uint8_t AddSaturated(uint8_t value, SplitOffset offset) {
    return ClampChannel(int64_t{value} + offset.add - offset.subtract);
}

// The plain way looks every channel value up in a table of its 256 results: without vector
// instructions that beats clamping each sum by a factor of two or more, and the tables are
// built once for the whole pass.
struct ChannelTables {
    uint8_t result[3][256];  // blue, green, red
};

void FillTables(const PixelOffsets& offsets, ChannelTables* tables) {
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            tables->result[c][v] = AddSaturated(static_cast<uint8_t>(v), offsets.channel[c]);
        }
    }
}

// count pixels from p on, one after the other; the fourth byte of each is left alone.
void AddToRunPlain(uint8_t* p, size_t count, const ChannelTables& tables) {
    for (size_t i = 0; i < count; ++i, p += kBytesPerPixel) {
        p[0] = tables.result[0][p[0]];
        p[1] = tables.result[1][p[1]];
        p[2] = tables.result[2][p[2]];
    }
}

#if VELMORA_SSE2
// Four pixels per 16-byte vector: a saturating add, then a saturating subtract, of the offsets
// laid out as blue, green, red, 0. The zero lane keeps the fourth byte as it was.
void AddToRunVector(uint8_t* p, size_t count, const PixelOffsets& offsets) {
    // Built from one 32-bit pattern so that the compiler keeps both in registers; assembled
    // byte by byte they went through the stack and were read back for every vector.
    const auto lanes = [&offsets](bool add) {
        uint32_t pattern = 0;
        for (int c = 0; c < 3; ++c) {
            const uint8_t byte = add ? offsets.channel[c].add : offsets.channel[c].subtract;
            pattern |= uint32_t{byte} << (8 * c);
        }
        return _mm_set1_epi32(static_cast<int>(pattern));
    };
    const __m128i add = lanes(true);
    const __m128i subtract = lanes(false);
    size_t i = 0;
    // Four vectors a round keep enough loads in flight for the pass to run at memory speed.
    for (; i + 16 <= count; i += 16, p += 64) {
        __m128i* v = reinterpret_cast<__m128i*>(p);
        const __m128i a = _mm_loadu_si128(v);
        const __m128i b = _mm_loadu_si128(v + 1);
        const __m128i c = _mm_loadu_si128(v + 2);
        const __m128i d = _mm_loadu_si128(v + 3);
        _mm_storeu_si128(v, _mm_subs_epu8(_mm_adds_epu8(a, add), subtract));
        _mm_storeu_si128(v + 1, _mm_subs_epu8(_mm_adds_epu8(b, add), subtract));
        _mm_storeu_si128(v + 2, _mm_subs_epu8(_mm_adds_epu8(c, add), subtract));
        _mm_storeu_si128(v + 3, _mm_subs_epu8(_mm_adds_epu8(d, add), subtract));
    }
    for (; i + 4 <= count; i += 4, p += 16) {
        __m128i* v = reinterpret_cast<__m128i*>(p);
        _mm_storeu_si128(v, _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(v), add), subtract));
    }
    // At most three pixels are left: not worth a table.
    for (; i < count; ++i, p += kBytesPerPixel) {
        p[0] = AddSaturated(p[0], offsets.channel[0]);
        p[1] = AddSaturated(p[1], offsets.channel[1]);
        p[2] = AddSaturated(p[2], offsets.channel[2]);
    }
}
#endif

// Rows follow each other with no gap, so the whole image is one run of width x height pixels.
// An image with pixels is at least 1 x 1; an empty one has none to run over.
size_t PixelCount(const PixelImage& image) {
    if (image.GetPixels() == nullptr) {
        return 0;
    }
    return static_cast<size_t>(image.GetWidth()) * static_cast<size_t>(image.GetHeight());
}

}  // namespace

void AddToWholeImagePlain(PixelImage& image, const AdjustSettings& settings) {
    const size_t count = PixelCount(image);
    if (count == 0 || AllZero(settings)) {
        return;
    }
    ChannelTables tables;
    FillTables(MakeOffsets(settings), &tables);
    AddToRunPlain(image.RowPixels(0), count, tables);
}

void AddToPackedPixels(uint8_t* bytes, size_t count, const AdjustSettings& settings) {
    if (AllZero(settings)) {
        return;
    }
    const PixelOffsets offsets = MakeOffsets(settings);
    size_t i = 0;
#if VELMORA_SSE2
    // Sixteen pixels fill three vectors exactly, so each vector's offsets repeat every round.
    alignas(16) uint8_t add[48];
    alignas(16) uint8_t subtract[48];
    for (int b = 0; b < 48; ++b) {
        add[b] = offsets.channel[b % 3].add;
        subtract[b] = offsets.channel[b % 3].subtract;
    }
    const __m128i* a = reinterpret_cast<const __m128i*>(add);
    const __m128i* s = reinterpret_cast<const __m128i*>(subtract);
    const __m128i a0 = _mm_load_si128(a), a1 = _mm_load_si128(a + 1), a2 = _mm_load_si128(a + 2);
    const __m128i s0 = _mm_load_si128(s), s1 = _mm_load_si128(s + 1), s2 = _mm_load_si128(s + 2);
    for (; i + 16 <= count; i += 16, bytes += 48) {
        __m128i* v = reinterpret_cast<__m128i*>(bytes);
        _mm_storeu_si128(v, _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(v), a0), s0));
        _mm_storeu_si128(v + 1, _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(v + 1), a1), s1));
        _mm_storeu_si128(v + 2, _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(v + 2), a2), s2));
    }
#endif
    for (; i < count; ++i, bytes += 3) {
        bytes[0] = AddSaturated(bytes[0], offsets.channel[0]);
        bytes[1] = AddSaturated(bytes[1], offsets.channel[1]);
        bytes[2] = AddSaturated(bytes[2], offsets.channel[2]);
    }
}

void AddToWholeImage(PixelImage& image, const AdjustSettings& settings) {
#if VELMORA_SSE2
    const size_t count = PixelCount(image);
    if (count == 0 || AllZero(settings)) {
        return;
    }
    AddToRunVector(image.RowPixels(0), count, MakeOffsets(settings));
#else
    AddToWholeImagePlain(image, settings);
#endif
}

void StampPen(PixelImage& image, const AdjustSettings& settings, int32_t x, int32_t y) {
    const int32_t n = settings.penSize;
    if (n <= 0) {
        return;
    }
    // The square is worked out in 64 bits and cut to the image before a coordinate goes back to
    // 32: a point near the ends of the 32-bit range must neither wrap around to the other side
    // nor miss the pixels its square covers, and a pen of any size visits only the image.
    const int64_t x0 = int64_t{x} - n / 2;
    const int64_t y0 = int64_t{y} - n / 2;
    const int64_t top = std::max<int64_t>(y0, 0);
    const int64_t bottom = std::min<int64_t>(y0 + n, image.GetHeight());
    const int64_t left = std::max<int64_t>(x0, 0);
    const int64_t right = std::min<int64_t>(x0 + n, image.GetWidth());
    for (int64_t row = top; row < bottom; ++row) {
        for (int64_t column = left; column < right; ++column) {
            image.AddToPixel(static_cast<int32_t>(column), static_cast<int32_t>(row), settings.red,
                             settings.green, settings.blue);
        }
    }
}
