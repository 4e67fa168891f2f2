#include "image/pixel_addition.h"

#include <algorithm>

void AddToWholeImage(PixelImage& image, const AdjustSettings& settings) {
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* p = image.RowPixels(y);
        for (int32_t x = 0; x < width; ++x, p += kBytesPerPixel) {
            p[2] = ClampChannel(int64_t{p[2]} + settings.red);
            p[1] = ClampChannel(int64_t{p[1]} + settings.green);
            p[0] = ClampChannel(int64_t{p[0]} + settings.blue);
        }
    }
}

void StampPen(PixelImage& image, const AdjustSettings& settings, int32_t x, int32_t y) {
    const int32_t n = settings.penSize;
    if (n <= 0) {
        return;
    }
    // The corner is worked out in 64 bits: a point near the edge of the 32-bit range must still
    // address the pixels its square covers, and must not wrap around to the other side.
    const int64_t x0 = int64_t{x} - n / 2;
    const int64_t y0 = int64_t{y} - n / 2;
    const int64_t top = std::max<int64_t>(y0, 0);
    const int64_t bottom = std::min<int64_t>(y0 + n, image.GetHeight());
    const int64_t left = std::max<int64_t>(x0, 0);
    const int64_t right = std::min<int64_t>(x0 + n, image.GetWidth());
    // Only the part inside the image is visited; the rest of the square would be skipped anyway.
    for (int64_t row = top; row < bottom; ++row) {
        for (int64_t col = left; col < right; ++col) {
            image.AddToPixel(static_cast<int32_t>(col), static_cast<int32_t>(row), settings.red,
                             settings.green, settings.blue);
        }
    }
}
