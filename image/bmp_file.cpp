#include "image/bmp_file.h"

#include <cstring>

#include "image/platform.h"

namespace {

// The fixed layout of what SaveBmp writes: a 14-byte file header and a 40-byte info header.
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kWrittenHeaderSize = kFileHeaderSize + kInfoHeaderSize;  // 54
// The last field LoadBmp reads is bits per pixel at offsets 28-29, so 30 bytes hold them all.
constexpr size_t kMinReadableLength = 30;

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void WriteLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool Fail(BmpError* error, BmpError why) {
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

}  // namespace

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

bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error) {
    if (data == nullptr || length < kMinReadableLength) {
        return Fail(error, BmpError::kNotBmp24);
    }
    const uint32_t offset = ReadLe32(data + 10);  // offset 10: where the first pixel row begins
    const int32_t width = static_cast<int32_t>(ReadLe32(data + 18));   // offset 18: width
    const int32_t height = static_cast<int32_t>(ReadLe32(data + 22));  // offset 22: height
    const uint16_t bitsPerPixel = ReadLe16(data + 28);                 // offset 28: bit depth
    // Magic, file size, header size, planes, compression and colour counts are not consulted.
    if (bitsPerPixel != 24) {
        return Fail(error, BmpError::kNotBmp24);
    }
    if (width < 1 || height < 1) {
        return Fail(error, BmpError::kBadSize);
    }
    const uint64_t stride = static_cast<uint64_t>(RowStride(width));
    // Divide rather than multiply: stride x height can exceed 64 bits for hostile headers.
    if (offset > length || stride > (length - offset) / static_cast<uint64_t>(height)) {
        return Fail(error, BmpError::kTruncated);
    }
    if (!image.Create(width, height)) {
        return Fail(error, BmpError::kTooLarge);
    }
    const uint8_t* row = data + offset;
    for (int32_t r = 0; r < height; ++r, row += stride) {
        uint8_t* dst = image.RowPixels(height - 1 - r);  // file rows run bottom to top
        const uint8_t* src = row;
        for (int32_t x = 0; x < width; ++x, src += 3, dst += kBytesPerPixel) {
            dst[0] = src[0];  // blue
            dst[1] = src[1];  // green
            dst[2] = src[2];  // red; the fourth byte stays 0 from Create
        }
    }
    if (error != nullptr) {
        *error = BmpError::kNone;
    }
    return true;
}

bool LoadBmp(PixelImage& image, const char* path, BmpError* error) {
    if (path == nullptr) {
        return Fail(error, BmpError::kCannotOpen);
    }
    uint8_t* data = nullptr;
    size_t length = 0;
    FileError fileError = FileError::kNone;
    if (!PlatformReadWholeFile(path, INT32_MAX, &data, &length, &fileError)) {
        return Fail(error, fileError == FileError::kTooLarge ? BmpError::kTooLarge
                                                             : BmpError::kCannotOpen);
    }
    const bool ok = DecodeBmp(image, data, length, error);
    PlatformFree(data);
    return ok;
}

bool SaveBmp(const PixelImage& image, const char* path, BmpError* error) {
    if (path == nullptr) {
        return Fail(error, BmpError::kCannotWrite);
    }
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    const int64_t stride = RowStride(width);
    // The image block is at most 2 GiB at 4 bytes a pixel, so its 3-byte rows always fit here;
    // the test still guards the 32-bit file size field.
    const int64_t fileSize = int64_t{kWrittenHeaderSize} + stride * (height < 0 ? 0 : height);
    if (fileSize > INT32_MAX) {
        return Fail(error, BmpError::kTooLarge);
    }
    auto* file = static_cast<uint8_t*>(AllocZeroed(static_cast<int32_t>(fileSize)));
    if (file == nullptr) {
        return Fail(error, BmpError::kTooLarge);
    }
    // Header fields not listed stay 0 from the zero fill: reserved words, compression (BI_RGB),
    // image size, resolutions and colour counts.
    WriteLe16(file + 0, 0x4D42);                                     // magic "BM"
    WriteLe32(file + 2, static_cast<uint32_t>(fileSize));            // file size
    WriteLe32(file + 10, static_cast<uint32_t>(kWrittenHeaderSize)); // pixel data offset
    WriteLe32(file + 14, kInfoHeaderSize);                           // info header size
    WriteLe32(file + 18, static_cast<uint32_t>(width));              // width
    WriteLe32(file + 22, static_cast<uint32_t>(height));             // height, bottom row first
    WriteLe16(file + 26, 1);                                         // planes
    WriteLe16(file + 28, 24);                                        // bits per pixel
    uint8_t* row = file + kWrittenHeaderSize;
    for (int32_t r = 0; r < height; ++r, row += stride) {
        const uint8_t* src = image.RowPixels(height - 1 - r);
        uint8_t* dst = row;
        for (int32_t x = 0; x < width; ++x, src += kBytesPerPixel, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    FileError fileError = FileError::kNone;
    const bool ok = PlatformWriteWholeFile(path, file, static_cast<size_t>(fileSize), &fileError);
    FreeBlock(file);
    if (!ok) {
        return Fail(error, BmpError::kCannotWrite);
    }
    if (error != nullptr) {
        *error = BmpError::kNone;
    }
    return true;
}
