#include "tests/clipboard/dib_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>

uint8_t FourthAt(int32_t x, int32_t y) {
    return static_cast<uint8_t>(0x80 | (x * 8 + y));
}

Bytes MakeDib(const DibLayout& layout) {
    // Refused shapes (negative height, zero width) still get rows, so only the header refuses.
    const size_t width = static_cast<size_t>(layout.width < 1 ? 2 : layout.width);
    const size_t height = static_cast<size_t>(layout.height < 0 ? -layout.height : layout.height);
    const size_t rowBytes =
        layout.bitsPerPixel == 32 ? width * 4 : (width * layout.bitsPerPixel / 8 + 3) / 4 * 4;
    const size_t rowsOffset = layout.headerSize + (layout.masksAfterHeader ? 12 : 0);
    Bytes b(rowsOffset + rowBytes * height, 0xEE);
    std::fill(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(layout.headerSize), 0xDD);
    std::fill(b.begin(), b.begin() + 40, 0);
    PutLe32(b, 0, layout.headerSize);
    PutLe32(b, 4, static_cast<uint32_t>(layout.width));
    PutLe32(b, 8, static_cast<uint32_t>(layout.height));
    PutLe16(b, 12, 1);
    PutLe16(b, 14, layout.bitsPerPixel);
    PutLe32(b, 16, layout.compression);
    if (layout.masksAfterHeader) {
        PutLe32(b, layout.headerSize + 0, 0x00FF0000);
        PutLe32(b, layout.headerSize + 4, 0x0000FF00);
        PutLe32(b, layout.headerSize + 8, 0x000000FF);
    }
    if ((layout.bitsPerPixel != 24 && layout.bitsPerPixel != 32) || layout.height < 1) {
        return b;  // only the header matters to these cases
    }
    const size_t bytesPerPixel = layout.bitsPerPixel / 8;
    for (int32_t y = 0; y < layout.height; ++y) {
        const size_t row = rowsOffset + static_cast<size_t>(layout.height - 1 - y) * rowBytes;
        for (int32_t x = 0; x < layout.width; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            uint8_t* p = &b[row + static_cast<size_t>(x) * bytesPerPixel];
            p[0] = rgb[2];
            p[1] = rgb[1];
            p[2] = rgb[0];
            if (bytesPerPixel == 4) {
                p[3] = FourthAt(x, y);
            }
        }
    }
    return b;
}

void PrepareTarget(PixelImage& image) {
    ASSERT_TRUE(image.Create(4, 4));
    FillPattern(image);
}

::testing::AssertionResult HoldsPattern(const PixelImage& image, int32_t width, int32_t height,
                                        Fourth fourth) {
    if (image.GetWidth() != width || image.GetHeight() != height) {
        return ::testing::AssertionFailure()
               << "size " << image.GetWidth() << "x" << image.GetHeight() << ", expected " << width
               << "x" << height;
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            const int got = image.RowPixels(y)[x * 4 + 3];
            const int want = fourth == Fourth::kPattern ? FourthAt(x, y) : 0;
            if (image.GetRed(x, y) != rgb[0] || image.GetGreen(x, y) != rgb[1] ||
                image.GetBlue(x, y) != rgb[2] || (fourth != Fourth::kAny && got != want)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << "," << y << ") is " << int{image.GetRed(x, y)} << ","
                       << int{image.GetGreen(x, y)} << "," << int{image.GetBlue(x, y)} << " / "
                       << got << ", expected " << int{rgb[0]} << "," << int{rgb[1]} << ","
                       << int{rgb[2]} << " / " << want;
            }
        }
    }
    return ::testing::AssertionSuccess();
}
