// The BMP codec's insides, shared by its files: the header's layout and the row converters,
// which the clipboard exchange shares too; and the streamed ways with a block size of the
// tests' choosing. The rest of the program calls only bmp_file.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp_file.h"

// The fixed layout of what SaveBmp writes: a 14-byte file header and a 40-byte info header.
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kWrittenHeaderSize = kFileHeaderSize + kInfoHeaderSize;  // 54
// The last field LoadBmp reads is bits per pixel at offsets 28-29, so 30 bytes hold them all.
constexpr size_t kMinReadableLength = 30;

// The 54 bytes SaveBmp puts before the pixel rows; every byte is written, the reserved words
// too, so a buffer that held another file gets no stale byte from it. A file too long for the
// 32-bit size field gets 0 there, as no reader of ours consults it and no value would be true.
void WriteSavedHeader(uint8_t* file, int32_t width, int32_t height, uint64_t fileSize);

// One file row of width 3-byte pixels (blue, green, red) into width 4-byte pixels whose fourth
// byte becomes 0. Reads exactly 3 x width bytes and writes exactly 4 x width.
void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width);

// The way back: width 4-byte pixels into 3 x width bytes, the fourth bytes dropped. Writes
// nothing past those bytes, so the fill at the row's end keeps its zeros.
void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width);

// StreamBmp and LoadBmp with blocks of blockBytes (at least 3) in place of their own, so that
// the tests can split rows across blocks with small files. beforeRead (when given) runs before
// each block of rows is read, so that a test can change the file under a load.
bool StreamBmpInBlocks(const BmpInput& in, const BmpOutput& out, const PixelSpanEdit& edit,
                       size_t blockBytes, BmpError* error = nullptr,
                       SystemReason* reason = nullptr);
struct ReadHook {
    void (*beforeRead)(void* context);
    void* context;
};
bool LoadBmpInBlocks(PixelImage& image, const BmpInput& in, size_t blockBytes, const ReadHook* hook,
                     BmpError* error = nullptr, SystemReason* reason = nullptr);
