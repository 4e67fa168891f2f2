// The BMP codec's insides, shared by its files and by the clipboard exchange, which lays out the
// same rows: the fixed layout of a saved file, the rows-fit rule, the row converters, and the
// tests' choice of block size for the streamed ways. The rest of the program calls only
// bmp_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "image/bmp_file.h"

// The fixed layout of what SaveBmp writes: a 14-byte file header and a 40-byte info header.
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kWrittenHeaderSize = kFileHeaderSize + kInfoHeaderSize;  // 54
// The last field LoadBmp reads is bits per pixel at offsets 28-29, so 30 bytes hold them all.
constexpr size_t kMinReadableLength = 30;

// Whether height rows of rowBytes each fit in available bytes (height at least 1). Divided
// rather than multiplied: rowBytes x height can pass 64 bits for hostile headers.
inline bool RowsFit(uint64_t rowBytes, int32_t height, uint64_t available) {
    return rowBytes <= available / static_cast<uint64_t>(height);
}

// The 54 bytes SaveBmp puts before the pixel rows; every byte is written, the reserved words
// too, so a buffer that held another file gets no stale byte from it. A file too long for the
// 32-bit size field gets 0 there, as no reader of ours consults it and no value would be true.
void WriteSavedHeader(uint8_t* file, int32_t width, int32_t height, uint64_t fileSize);

// One file row of width 3-byte pixels (blue, green, red) into width 4-byte pixels whose fourth
// byte becomes 0. Reads exactly 3 x width bytes and writes exactly 4 x width.
void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width);

// The image as 24-bit rows of RowStride(width) bytes, bottom row first, at rows: the fourth bytes
// dropped and the fill at each row's end zeroed, so a reused buffer keeps no stale byte.
void WriteBottomUpRows(const PixelImage& image, uint8_t* rows);

// How a test has the rows read: in blocks of blockBytes (at least 3) in place of the codec's
// MiB, so that small files split rows across blocks; beforeRead (when set) runs before each
// block is read, so that a test can change the file under a load.
struct ReadBlocks {
    size_t blockBytes;
    std::function<void()> beforeRead;
};
