// The row converters between a file's 3-byte pixels and the image's 4-byte ones, with SSE2 where
// the build has it; the plain loops finish each row's tail and give the same bytes.
#include <cstring>

#include "image/bmp_file_internal.h"
#include "image/simd.h"

namespace {

#if VELMORA_SSE2
// Masks over each 64-bit half of a vector: the first pixel of a half, and the second pixel of a
// half where it sits in 4-byte (image) layout.
inline __m128i FirstPixelOfHalf() {
    return _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
}
inline __m128i SecondPixelOfHalf() {
    return _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0);
}

// Four pixels (12 bytes) of a file row into 16 bytes of image pixels: each 8-byte load holds
// two whole pixels, and the second of them moves up one byte to make room for a zero fourth.
inline __m128i WidenFour(const uint8_t* file) {
    const __m128i v =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(file)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(file + 6)));
    return _mm_or_si128(_mm_and_si128(v, FirstPixelOfHalf()),
                        _mm_and_si128(_mm_slli_epi64(v, 8), SecondPixelOfHalf()));
}

// Four image pixels into their 12 file bytes, at the bottom of the vector; the top 4 bytes are 0.
inline __m128i NarrowFour(__m128i v) {
    const __m128i halves = _mm_or_si128(_mm_and_si128(v, FirstPixelOfHalf()),
                                        _mm_srli_epi64(_mm_and_si128(v, SecondPixelOfHalf()), 8));
    const __m128i lowHalf = _mm_set_epi32(0, 0, -1, -1);
    return _mm_or_si128(_mm_and_si128(halves, lowHalf),
                        _mm_srli_si128(_mm_andnot_si128(lowHalf, halves), 2));
}
#endif

}  // namespace

static void DecodeBmpRowPlain(const uint8_t* file, uint8_t* pixels, int32_t width) {
    for (int32_t x = 0; x < width; ++x, file += 3, pixels += kBytesPerPixel) {
        pixels[0] = file[0];  // blue
        pixels[1] = file[1];  // green
        pixels[2] = file[2];  // red
        pixels[3] = 0;
    }
}

void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width) {
    int32_t x = 0;
#if VELMORA_SSE2
    // The second load of a round reads two bytes past its four pixels, so a round runs only
    // while a fifth pixel follows in the row.
    for (; x + 5 <= width; x += 4, file += 12, pixels += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), WidenFour(file));
    }
#endif
    DecodeBmpRowPlain(file, pixels, width - x);
}

static void EncodeBmpRowPlain(const uint8_t* pixels, uint8_t* file, int32_t width) {
    for (int32_t x = 0; x < width; ++x, pixels += kBytesPerPixel, file += 3) {
        file[0] = pixels[0];
        file[1] = pixels[1];
        file[2] = pixels[2];
    }
}

// The way back: width 4-byte pixels into 3 x width bytes, the fourth bytes dropped. Writes
// nothing past those bytes; the caller zeroes the fill.
static void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width) {
    int32_t x = 0;
#if VELMORA_SSE2
    // Sixteen pixels make 48 file bytes, exactly three vectors: no store reaches past the row.
    for (; x + 16 <= width; x += 16, pixels += 64, file += 48) {
        const __m128i* in = reinterpret_cast<const __m128i*>(pixels);
        const __m128i a = NarrowFour(_mm_loadu_si128(in));
        const __m128i b = NarrowFour(_mm_loadu_si128(in + 1));
        const __m128i c = NarrowFour(_mm_loadu_si128(in + 2));
        const __m128i d = NarrowFour(_mm_loadu_si128(in + 3));
        __m128i* out = reinterpret_cast<__m128i*>(file);
        _mm_storeu_si128(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
#endif
    EncodeBmpRowPlain(pixels, file, width - x);
}

void WriteBottomUpRows(const PixelImage& image, uint8_t* rows) {
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    const size_t stride = static_cast<size_t>(RowStride(width));
    const size_t pixelBytes = static_cast<size_t>(width) * 3;
    uint8_t* row = rows;
    for (int32_t r = 0; r < height; ++r, row += stride) {
        EncodeBmpRow(image.RowPixels(height - 1 - r), row, width);
        std::memset(row + pixelBytes, 0, stride - pixelBytes);
    }
}
