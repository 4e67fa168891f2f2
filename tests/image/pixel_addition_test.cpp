#include "image/pixel_addition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "tests/support/test_files.h"

namespace {

// Channels kept well inside 0..255, so that every pixel a small offset reaches visibly changes.
void PaintMidTones(PixelImage& image) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            image.SetRed(x, y, 40 + (x * 13 + y * 7) % 170);
            image.SetGreen(x, y, 40 + (x * 5 + y * 29) % 170);
            image.SetBlue(x, y, 40 + (x * 11 + y * 3) % 170);
        }
    }
    MarkFourthBytes(image);
}

std::string FirstDifference(const ImageSnapshot& a, const ImageSnapshot& b) {
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        if (a.pixels[i] != b.pixels[i]) {
            const size_t px = i / 4;
            return "pixel (" + std::to_string(px % a.width) + "," + std::to_string(px / a.width) +
                   ") byte " + std::to_string(i % 4) + ": " + std::to_string(a.pixels[i]) + " vs " +
                   std::to_string(b.pixels[i]);
        }
    }
    return "sizes differ";
}

}  // namespace

// A reference model of the pen: for size n it covers offsets low..high from the point in both
// directions, as the design lists them; compared pixel by pixel at every edge, every corner,
// just and far outside and at the ends of the 32-bit range.
TEST(StampPenTest, SquareMatchesThePenReachEverywhere) {
    // Sizes below 1 cover nothing.
    const int32_t pens[][3] = {{1, 0, 0},  {2, -1, 0}, {3, -1, 1},       {4, -2, 1},
                               {5, -2, 2}, {8, -4, 3}, {15, -7, 7},      {16, -8, 7},
                               {0, 1, 0},  {-1, 1, 0}, {INT32_MIN, 1, 0}};
    const int32_t w = 21, h = 17, r = w - 1, b = h - 1, cx = w / 2, cy = h / 2;
    const int32_t lo = INT32_MIN, hi = INT32_MAX, lo3 = INT32_MIN + 3;
    const int32_t points[][2] = {{5, 7},   {0, 0},     {r, 0},     {0, b},     {r, b},  {cx, 0},
                                 {0, cy},  {r, cy},    {cx, b},    {-1, -1},   {w, h},  {-8, -8},
                                 {-9, 3},  {w + 7, 4}, {w + 8, 4}, {3, h + 8}, {lo, 0}, {3, hi},
                                 {lo, lo}, {hi, hi},   {lo3, lo3}};
    for (const auto& pen : pens) {
        for (const auto& p : points) {
            ScopedImage s, reference;
            ASSERT_TRUE(s.image.Create(w, h));
            ASSERT_TRUE(reference.image.Create(w, h));
            PaintMidTones(s.image);
            PaintMidTones(reference.image);
            StampPen(s.image, AdjustSettings{7, -5, 3, pen[0]}, p[0], p[1]);
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const int64_t dx = int64_t{x} - p[0], dy = int64_t{y} - p[1];
                    if (dx >= pen[1] && dx <= pen[2] && dy >= pen[1] && dy <= pen[2]) {
                        reference.image.AddToPixel(x, y, 7, -5, 3);
                    }
                }
            }
            const ImageSnapshot actual = Snapshot(s.image), expected = Snapshot(reference.image);
            EXPECT_TRUE(actual == expected) << "pen " << pen[0] << " at " << p[0] << "," << p[1]
                                            << ": " << FirstDifference(actual, expected);
        }
    }
}

// Each stamp and each whole-image pass adds once and clamps there: 100 + 200 clamps to 255,
// so minus 200 afterwards leaves 55, not 100.
TEST(PixelAdditionTest, EachAdditionAddsOnceAndClampsOnItsOwn) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(6, 6));
    s.image.SetRed(1, 1, 100);
    s.image.SetGreen(2, 2, 100);
    for (int i = 0; i < 2; ++i) {
        StampPen(s.image, AdjustSettings{0, 10, 0, 1}, 2, 2);
    }
    EXPECT_EQ(s.image.GetGreen(2, 2), 120);
    StampPen(s.image, AdjustSettings{200, 0, 0, 1}, 1, 1);
    StampPen(s.image, AdjustSettings{-200, 0, 0, 1}, 1, 1);
    EXPECT_EQ(s.image.GetRed(1, 1), 55);

    ASSERT_TRUE(s.image.Create(2, 1));
    s.image.SetRed(0, 0, 100);
    AddToWholeImage(s.image, AdjustSettings{200, 0, 0, 1});
    AddToWholeImage(s.image, AdjustSettings{-200, 0, 0, 1});
    EXPECT_EQ(s.image.GetRed(0, 0), 55);
    EXPECT_EQ(s.image.GetRed(1, 0), 0);
}

// The whole-image pass gives exactly what AddToPixel gives pixel by pixel (the fast-path tests
// sweep widths and offsets further), the fourth byte included.
TEST(PixelAdditionTest, WholeImageMatchesAddToPixelOnEveryPixel) {
    const AdjustSettings offsets[] = {
        {7, -5, 3, 1}, {256, -256, 0, 1}, {-255, 255, -1, 1}, {INT32_MAX, INT32_MIN, 100, 1}};
    for (const AdjustSettings& a : offsets) {
        for (int32_t w : {1, 3, 5, 17}) {
            ScopedImage s, reference;
            for (PixelImage* image : {&s.image, &reference.image}) {
                ASSERT_TRUE(image->Create(w, 3));
                FillPattern(*image);  // reaches 0 and 255 too
                MarkFourthBytes(*image);
            }
            AddToWholeImage(s.image, a);
            for (int32_t y = 0; y < 3; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    reference.image.AddToPixel(x, y, a.red, a.green, a.blue);
                }
            }
            const ImageSnapshot actual = Snapshot(s.image), expected = Snapshot(reference.image);
            EXPECT_TRUE(actual == expected)
                << "width " << w << " offsets " << a.red << "," << a.green << "," << a.blue << ": "
                << FirstDifference(actual, expected);
        }
    }
}

TEST(PixelAdditionTest, EmptyImageStaysEmpty) {
    ScopedImage s;
    s.image.Release();
    AddToWholeImage(s.image, AdjustSettings{10, 10, 10, 1});
    StampPen(s.image, AdjustSettings{10, 10, 10, 16}, 0, 0);
    EXPECT_EQ(s.image.GetWidth(), 0);
    EXPECT_EQ(s.image.GetPixels(), nullptr);
}
