// Clipboard bitmap blocks built byte by byte for the tests, and checks on what a paste left.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "image/pixel_image.h"
#include "tests/support/test_files.h"

struct DibLayout {
    int32_t width;
    int32_t height;
    uint16_t bitsPerPixel;
    uint32_t headerSize = 40;
    uint32_t compression = 0;
    // Three colour masks between header and rows, as a 40-byte BI_BITFIELDS header has them.
    bool masksAfterHeader = false;
};

// Bottom-up rows with ColourAt(x, y) in blue, green, red and FourthAt(x, y) as the fourth byte of
// 32-bit pixels. Header bytes past 40 are 0xDD and fill bytes 0xEE, so a reader that takes either
// for pixels is caught. The block is exactly as long as its rows need.
Bytes MakeDib(const DibLayout& layout);
uint8_t FourthAt(int32_t x, int32_t y);

// A 4 x 4 image unlike every block pasted, so a refusal that touched it shows in a snapshot.
void PrepareTarget(PixelImage& image);

enum class Fourth { kZero, kPattern, kAny };
// Size and every pixel against ColourAt; fourth bytes 0, FourthAt, or not looked at.
::testing::AssertionResult HoldsPattern(const PixelImage& image, int32_t width, int32_t height,
                                        Fourth fourth);
