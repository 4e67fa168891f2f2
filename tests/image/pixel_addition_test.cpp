#include "image/pixel_addition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

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

int Clamp(int64_t v) {
    return static_cast<int>(std::min<int64_t>(255, std::max<int64_t>(0, v)));
}

// Applies offsets with clamping to the pixels for which covered(x, y) holds, the way the
// operations are meant to, but written out independently of them.
template <typename Covered>
ImageSnapshot Expected(const ImageSnapshot& before, int32_t dr, int32_t dg, int32_t db,
                       Covered covered) {
    ImageSnapshot e = before;
    for (int32_t y = 0; y < before.height; ++y) {
        for (int32_t x = 0; x < before.width; ++x) {
            if (!covered(x, y)) {
                continue;
            }
            uint8_t* p = &e.pixels[(static_cast<size_t>(y) * before.width + x) * 4];
            p[0] = static_cast<uint8_t>(Clamp(int64_t{p[0]} + db));
            p[1] = static_cast<uint8_t>(Clamp(int64_t{p[1]} + dg));
            p[2] = static_cast<uint8_t>(Clamp(int64_t{p[2]} + dr));
        }
    }
    return e;
}

// Columns (and rows) a pen of each size covers, relative to the point, as the design lists them.
struct PenReach {
    int32_t size, low, high;
};
const PenReach kPens[] = {{1, 0, 0},  {2, -1, 0}, {3, -1, 1},  {4, -2, 1},
                          {5, -2, 2}, {8, -4, 3}, {15, -7, 7}, {16, -8, 7}};

std::string Describe(const ImageSnapshot& a, const ImageSnapshot& b) {
    if (a.width != b.width || a.height != b.height) {
        return "size differs";
    }
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (a.pixels[i] != b.pixels[i]) {
            const size_t px = i / 4;
            return "first difference at pixel (" + std::to_string(px % a.width) + "," +
                   std::to_string(px / a.width) + ") byte " + std::to_string(i % 4) + ": " +
                   std::to_string(a.pixels[i]) + " vs " + std::to_string(b.pixels[i]);
        }
    }
    return "equal";
}

}  // namespace

// Every pen size at every edge, every corner, just outside, far outside and at the ends of the
// 32-bit range, compared pixel by pixel with the reach table.
TEST(StampPenTest, SquareMatchesThePenReachEverywhere) {
    const int32_t w = 21, h = 17;
    struct Point {
        int32_t x, y;
    };
    const Point points[] = {
        {5, 7},
        {0, 0},
        {w - 1, 0},
        {0, h - 1},
        {w - 1, h - 1},
        {w / 2, 0},
        {0, h / 2},
        {w - 1, h / 2},
        {w / 2, h - 1},
        {-1, -1},
        {w, h},
        {-1, h / 2},
        {w, h / 2},
        {w / 2, -1},
        {w / 2, h},
        {-8, -8},
        {-9, 3},
        {w + 7, 4},
        {w + 8, 4},
        {3, h + 8},
        {-100, -100},
        {w + 100, 5},
        {INT32_MIN, 0},
        {0, INT32_MIN},
        {INT32_MAX, 3},
        {3, INT32_MAX},
        {INT32_MIN, INT32_MIN},
        {INT32_MAX, INT32_MAX},
        {INT32_MIN + 3, INT32_MIN + 3},
        {INT32_MAX - 3, INT32_MAX - 3},
    };
    const AdjustSettings base{7, -5, 3, 1};
    for (const PenReach& pen : kPens) {
        for (const Point& p : points) {
            ScopedImage s;
            ASSERT_TRUE(s.image.Create(w, h));
            PaintMidTones(s.image);
            const ImageSnapshot before = Snapshot(s.image);
            AdjustSettings settings = base;
            settings.penSize = pen.size;
            StampPen(s.image, settings, p.x, p.y);
            const ImageSnapshot expected = Expected(before, 7, -5, 3, [&](int32_t x, int32_t y) {
                const int64_t dx = int64_t{x} - p.x, dy = int64_t{y} - p.y;
                return dx >= pen.low && dx <= pen.high && dy >= pen.low && dy <= pen.high;
            });
            const ImageSnapshot actual = Snapshot(s.image);
            EXPECT_TRUE(actual == expected) << "pen " << pen.size << " at " << p.x << "," << p.y
                                            << ": " << Describe(actual, expected);
        }
    }
}

// A few squares written out by hand, so that the reach table above is checked too.
TEST(StampPenTest, NamedSquaresCoverExactlyTheirPixels) {
    struct Case {
        int32_t pen, x, y;
        int32_t left, top, right, bottom;  // inclusive; left > right for "nothing"
    };
    const Case cases[] = {
        {1, 5, 7, 5, 7, 5, 7},      {2, 5, 7, 4, 6, 5, 7},   {4, 5, 7, 3, 5, 6, 8},
        {16, 0, 0, 0, 0, 7, 7},     {3, -1, -1, 0, 0, 0, 0}, {3, 20, 16, 19, 15, 19, 15},
        {16, 27, 5, 19, 0, 19, 12}, {16, 28, 5, 1, 1, 0, 0}, {5, -3, -3, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(20, 16));
        PaintMidTones(s.image);
        const ImageSnapshot before = Snapshot(s.image);
        StampPen(s.image, AdjustSettings{-9, 4, 12, c.pen}, c.x, c.y);
        const ImageSnapshot expected = Expected(before, -9, 4, 12, [&](int32_t x, int32_t y) {
            return x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
        });
        const ImageSnapshot actual = Snapshot(s.image);
        EXPECT_TRUE(actual == expected)
            << "pen " << c.pen << " at " << c.x << "," << c.y << ": " << Describe(actual, expected);
    }
}

TEST(StampPenTest, PenSizeBelowOneOrZeroOffsetsChangeNothing) {
    struct Case {
        AdjustSettings settings;
    };
    const Case cases[] = {{{50, 50, 50, 0}},
                          {{50, 50, 50, -1}},
                          {{50, 50, 50, INT32_MIN}},
                          {{0, 0, 0, 16}},
                          {{0, 0, 0, 1}}};
    for (const Case& c : cases) {
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(9, 9));
        PaintMidTones(s.image);
        const ImageSnapshot before = Snapshot(s.image);
        StampPen(s.image, c.settings, 4, 4);
        EXPECT_TRUE(Snapshot(s.image) == before) << "pen " << c.settings.penSize;
    }
}

TEST(StampPenTest, OverlappingStampsAddAgainAndClampEachTime) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(6, 6));
    PaintMidTones(s.image);
    s.image.SetGreen(2, 2, 100);
    s.image.SetGreen(3, 3, 250);
    const AdjustSettings plus10{0, 10, 0, 1};
    StampPen(s.image, plus10, 2, 2);
    StampPen(s.image, plus10, 2, 2);
    EXPECT_EQ(s.image.GetGreen(2, 2), 120);
    StampPen(s.image, plus10, 3, 3);
    StampPen(s.image, plus10, 3, 3);
    EXPECT_EQ(s.image.GetGreen(3, 3), 255);

    // Additions do not cancel out: 100 + 200 clamps to 255, minus 200 leaves 55.
    s.image.SetRed(1, 1, 100);
    StampPen(s.image, AdjustSettings{200, 0, 0, 1}, 1, 1);
    StampPen(s.image, AdjustSettings{-200, 0, 0, 1}, 1, 1);
    EXPECT_EQ(s.image.GetRed(1, 1), 55);
}

// The whole-image pass must give exactly what AddToPixel gives pixel by pixel, for every width
// (short rows and odd tails included) and for offsets beyond the shell's range.
TEST(AddToWholeImageTest, MatchesAddToPixelOnEveryPixel) {
    const AdjustSettings offsets[] = {
        {7, -5, 3, 1},
        {256, -256, 0, 1},
        {-256, 256, 255, 1},
        {0, 0, 0, 1},
        {1, -1, 128, 16},
        {-255, 255, -1, 1},
        {INT32_MAX, INT32_MIN, 100, 1},
        {INT32_MIN, INT32_MAX, -100, 1},
    };
    const int32_t widths[] = {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 33, 64, 67};
    for (const AdjustSettings& a : offsets) {
        for (int32_t w : widths) {
            ScopedImage s;
            ASSERT_TRUE(s.image.Create(w, 3));
            FillPattern(s.image);  // reaches 0 and 255 too
            MarkFourthBytes(s.image);
            ScopedImage reference;
            ASSERT_TRUE(reference.image.Create(w, 3));
            FillPattern(reference.image);
            MarkFourthBytes(reference.image);
            AddToWholeImage(s.image, a);
            for (int32_t y = 0; y < 3; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    reference.image.AddToPixel(x, y, a.red, a.green, a.blue);
                }
            }
            const ImageSnapshot actual = Snapshot(s.image);
            const ImageSnapshot expected = Snapshot(reference.image);
            EXPECT_TRUE(actual == expected)
                << "width " << w << " offsets " << a.red << "," << a.green << "," << a.blue << ": "
                << Describe(actual, expected);
        }
    }
}

TEST(AddToWholeImageTest, PlusOrMinus256SaturatesOnlyItsChannel) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(16, 16));
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            s.image.SetRed(x, y, y * 16 + x);  // every value 0..255 once
            s.image.SetGreen(x, y, 255 - (y * 16 + x));
            s.image.SetBlue(x, y, 77);
        }
    }
    MarkFourthBytes(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    AddToWholeImage(s.image, AdjustSettings{256, 0, 0, 1});
    EXPECT_TRUE(Snapshot(s.image) ==
                Expected(before, 256, 0, 0, [](int32_t, int32_t) { return true; }));
    for (int32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(s.image.GetRed(i % 16, i / 16), 255);
    }
    AddToWholeImage(s.image, AdjustSettings{-256, 0, 0, 1});
    for (int32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(s.image.GetRed(i % 16, i / 16), 0);
        ASSERT_EQ(s.image.GetGreen(i % 16, i / 16), 255 - i);
        ASSERT_EQ(s.image.GetBlue(i % 16, i / 16), 77);
    }
}

TEST(AddToWholeImageTest, EachCallAddsOnceAndAdditionsDoNotCancel) {
    ScopedImage s;  // the 128 x 128 start-up image
    AddToWholeImage(s.image, AdjustSettings{3, 5, 7, 1});
    AddToWholeImage(s.image, AdjustSettings{3, 5, 7, 1});
    const ImageSnapshot after = Snapshot(s.image);
    ASSERT_EQ(after.pixels.size(), 16384u * 4u);
    for (size_t i = 0; i < after.pixels.size(); i += 4) {
        ASSERT_EQ(after.pixels[i + 0], 14) << "pixel " << i / 4;
        ASSERT_EQ(after.pixels[i + 1], 10) << "pixel " << i / 4;
        ASSERT_EQ(after.pixels[i + 2], 6) << "pixel " << i / 4;
        ASSERT_EQ(after.pixels[i + 3], 0) << "pixel " << i / 4;
    }

    ASSERT_TRUE(s.image.Create(2, 1));
    s.image.SetRed(0, 0, 100);
    s.image.SetRed(1, 0, 100);
    AddToWholeImage(s.image, AdjustSettings{200, 0, 0, 1});
    AddToWholeImage(s.image, AdjustSettings{-200, 0, 0, 1});
    EXPECT_EQ(s.image.GetRed(0, 0), 55);
    EXPECT_EQ(s.image.GetRed(1, 0), 55);
}

TEST(AddToWholeImageTest, EmptyImageStaysEmpty) {
    ScopedImage s;
    s.image.Release();
    AddToWholeImage(s.image, AdjustSettings{10, 10, 10, 1});
    StampPen(s.image, AdjustSettings{10, 10, 10, 16}, 0, 0);
    EXPECT_EQ(s.image.GetWidth(), 0);
    EXPECT_EQ(s.image.GetPixels(), nullptr);
}
