#include "image/bmp_file.h"

#include <algorithm>
#include <cstring>

#include "image/bmp_file_internal.h"
#include "image/byte_order.h"
#include "image/platform.h"
#include "image/simd.h"
#include "image/store_reason.h"

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

void WriteSavedHeader(uint8_t* file, int32_t width, int32_t height, uint64_t fileSize) {
    std::memset(file, 0, kWrittenHeaderSize);
    WriteLe16(file + 0, 0x4D42);  // magic "BM"
    WriteLe32(file + 2, fileSize <= UINT32_MAX ? static_cast<uint32_t>(fileSize) : 0);
    WriteLe32(file + 10, static_cast<uint32_t>(kWrittenHeaderSize));  // pixel data offset
    WriteInfoHeader(file + kFileHeaderSize, width, height, 24);       // bottom row first
}

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

void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width) {
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

const char* DescribeBmpError(BmpError error) {
    switch (error) {
        case BmpError::kNone:
            return "no error";
        case BmpError::kCannotOpen:
            return "missing or unreadable";
        case BmpError::kNotBmp24:
            return "not a 24 bits per pixel BMP file";
        case BmpError::kBadSize:
            return "top-down or zero size";
        case BmpError::kTruncated:
            return "pixel data cut short";
        case BmpError::kTooLarge:
            return "too large for memory";
        case BmpError::kCannotWrite:
            return "cannot be written";
    }
    return "unknown error";
}

const char* DescribeBmpFailure(BmpError error, SystemReason reason) {
    switch (reason) {
        case SystemReason::kNone:
            break;
        case SystemReason::kNoFolder:
            return "no such folder";
        case SystemReason::kNoFile:
            return "no such file";
        case SystemReason::kDenied:
            return "permission denied";
        case SystemReason::kInUse:
            return "file in use";
        case SystemReason::kDiskFull:
            return "disk full";
        case SystemReason::kForeignLink:
            return "another user's link in a shared folder";
    }
    return DescribeBmpError(error);
}

bool CheckBmpHeader(const uint8_t* head, size_t headLength, uint64_t length, BmpLayout* layout,
                    BmpError* error) {
    if (head == nullptr || headLength < kMinReadableLength) {
        return StoreReason(error, BmpError::kNotBmp24);
    }
    const uint32_t offset = ReadLe32(head + 10);  // offset 10: where the first pixel row begins
    const int32_t width = static_cast<int32_t>(ReadLe32(head + 18));   // offset 18: width
    const int32_t height = static_cast<int32_t>(ReadLe32(head + 22));  // offset 22: height
    const uint16_t bitsPerPixel = ReadLe16(head + 28);                 // offset 28: bit depth
    // Magic, file size, header size, planes, compression and colour counts are not consulted.
    if (bitsPerPixel != 24) {
        return StoreReason(error, BmpError::kNotBmp24);
    }
    if (width < 1 || height < 1) {
        return StoreReason(error, BmpError::kBadSize);
    }
    const uint64_t stride = static_cast<uint64_t>(RowStride(width));
    // Divide rather than multiply: stride x height can exceed 64 bits for hostile headers.
    if (offset > length || stride > (length - offset) / static_cast<uint64_t>(height)) {
        return StoreReason(error, BmpError::kTruncated);
    }
    *layout = BmpLayout{offset, stride, width, height};
    return StoreReason(error, BmpError::kNone, true);
}

bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error) {
    BmpLayout rows;
    if (!CheckBmpHeader(data, length, length, &rows, error)) {
        return false;
    }
    if (!image.Create(rows.width, rows.height)) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    const uint8_t* row = data + rows.offset;
    for (int32_t r = 0; r < rows.height; ++r, row += rows.stride) {
        DecodeBmpRow(row, image.RowPixels(rows.height - 1 - r), rows.width);  // bottom first
    }
    return StoreReason(error, BmpError::kNone, true);
}

void ReleaseBmpBuffer(BmpBuffer& buffer) {
    PlatformFree(buffer.block);
    buffer = BmpBuffer();
}

bool EncodeBmp(const PixelImage& image, BmpBuffer& buffer, size_t* length, BmpError* error) {
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    const int64_t stride = RowStride(width);
    // The image block is at most 2 GiB at 4 bytes a pixel, so its 3-byte rows always fit here;
    // the test still guards the 32-bit file size field.
    const int64_t fileSize = int64_t{kWrittenHeaderSize} + stride * height;
    if (fileSize > INT32_MAX) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    const size_t size = static_cast<size_t>(fileSize);
    if (!PlatformReserve(&buffer.block, &buffer.capacity, size)) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    uint8_t* file = buffer.block;
    WriteSavedHeader(file, width, height, fileSize);
    uint8_t* row = file + kWrittenHeaderSize;
    for (int32_t r = 0; r < height; ++r, row += stride) {
        EncodeBmpRow(image.RowPixels(height - 1 - r), row, width);  // the fill keeps its zeros
    }
    *length = size;
    return StoreReason(error, BmpError::kNone, true);
}

bool SaveBmp(const PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    StoreReason(reason, SystemReason::kNone);
    if (path == nullptr) {
        return StoreReason(error, BmpError::kCannotWrite);
    }
    BmpBuffer buffer;
    size_t length = 0;
    if (!EncodeBmp(image, buffer, &length, error)) {
        return false;
    }
    FileFailure failure;
    const bool ok = PlatformWriteWholeFile(path, buffer.block, length, &failure);
    ReleaseBmpBuffer(buffer);
    StoreReason(reason, failure.reason);
    return StoreReason(error, ok ? BmpError::kNone : BmpError::kCannotWrite, ok);
}
