// Pixel addition, the program's one job: signed offsets added to every pixel or to a square pen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/pixel_image.h"

// Default-constructed, the settings the program starts with: no offsets and the smallest pen.
struct AdjustSettings {
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    int32_t penSize = 1;
};

// What the user may choose: each offset, and the pen's side in pixels. The operations below take
// any values; these bound what the window and the command line offer.
constexpr int32_t kMinOffset = -256;
constexpr int32_t kMaxOffset = 256;
constexpr int32_t kMinPenSize = 1;
constexpr int32_t kMaxPenSize = 16;

// Adds the offsets to count pixels of three bytes each (blue, green, red), as the rows of a
// 24-bit BMP file hold them: each byte ends as it would through AddToPixel.
void AddToPackedPixels(uint8_t* bytes, size_t count, const AdjustSettings& settings);

// Adds the offsets to every pixel once. Gives the same pixels as AddToPixel on each pixel.
void AddToWholeImage(PixelImage& image, const AdjustSettings& settings);

// Adds the offsets to the pen square at (x, y): columns and rows x - n/2 .. x - n/2 + n - 1 for
// pen size n. Pixels outside the image are skipped; a pen size below 1 changes nothing.
void StampPen(PixelImage& image, const AdjustSettings& settings, int32_t x, int32_t y);
