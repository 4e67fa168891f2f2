// The BMP codec's insides: the row converters, which the clipboard exchange shares, and the
// streamed add's block size, open to the tests. The rest of the program calls only bmp_file.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bmp_file.h"

// One file row of width 3-byte pixels (blue, green, red) into width 4-byte pixels whose fourth
// byte becomes 0. Reads exactly 3 x width bytes and writes exactly 4 x width.
void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width);

// The way back: width 4-byte pixels into 3 x width bytes, the fourth bytes dropped. Writes
// nothing past those bytes, so the fill at the row's end keeps its zeros.
void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width);

// StreamBmpFile with blocks of blockBytes (at least 3) in place of its own, so that the tests
// can split rows across blocks with small files.
bool StreamBmpFileInBlocks(const char* inPath, const char* outPath, const PixelSpanEdit& edit,
                           size_t blockBytes, BmpError* error = nullptr,
                           SystemReason* reason = nullptr);
