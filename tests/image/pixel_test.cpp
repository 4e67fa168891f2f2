#include <gtest/gtest.h>

#include "image/pixel_addition_internal.h"
#include "tests/support/models.h"

TEST(PixelTest, ImageIsBlackTopDownAndRefusalsKeepIt) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(3, 2));
    EXPECT_EQ(Capture(s.image), Blank(3, 2));
    Scramble(s.image, 2);
    const Picture before = Capture(s.image);
    // 65536² wraps a 32-bit count to 0, 32768 x 32769 a byte count to a small one.
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {65536, 65536}, {32768, 32769}})
        EXPECT_FALSE(s.image.Create(w, h)) << w << "x" << h;
    EXPECT_FALSE(s.image.SetGreen(0, 2, 9));
    EXPECT_FALSE(s.image.AddToPixel(-1, 0, 1, 1, 1));
    EXPECT_EQ(Capture(s.image), before);
    s.image.Release();  // empty, with no size left over for the canvas to scroll
    EXPECT_EQ(s.image.GetPixels(), nullptr);
    EXPECT_EQ(Capture(s.image), Picture{});
}

// Runs of 1-5 and 15-17 pixels reach every vector tail, and longer ones loop. Each row of offsets
// follows another through the same function, so any state a call leaves behind shows.
TEST(PixelTest, WholeImageWaysMatchTheModel) {
    // One channel alone, so that each channel's own test of "nothing to add" shows.
    const AdjustSettings offsets[] = {
        {0, 0, 0, 1},      {9, 0, 0, 1},    {0, 9, 0, 1},
        {0, 0, 9, 1},      {1, -1, 0, 1},   {255, -255, 7, 1},
        {256, -256, 0, 1}, {-7, 0, 200, 1}, {INT32_MAX, INT32_MIN, -1, 1}};
    for (auto add : {AddToWholeImage, AddToWholeImagePlain})
        for (int32_t width : {1, 2, 3, 4, 5, 15, 16, 17, 34, 289})
            for (const AdjustSettings& o : offsets) {
                ScopedImage s;
                ASSERT_TRUE(s.image.Create(width, 1));
                Scramble(s.image, width);
                Picture want = Capture(s.image);
                add(s.image, o);
                for (int32_t x = 0; x < width; ++x)
                    ModelAdd(want, x, 0, o);
                ASSERT_EQ(Capture(s.image), want) << (add == AddToWholeImage ? "chosen " : "plain ")
                                                  << width << " offsets " << &o - offsets;
            }
}

// Every pen at every point in and around the image, and at the 32-bit ends.
TEST(PixelTest, PenMatchesTheModelAtEveryEdge) {
    const int32_t far[] = {INT32_MIN, INT32_MIN + 7, INT32_MAX - 7, INT32_MAX};
    for (int32_t n = 0; n <= 16; ++n)
        for (int32_t y = -10; y < 16; ++y)
            for (int32_t x = -10; x < 34; ++x) {
                ScopedImage s;
                ASSERT_TRUE(s.image.Create(21, 6));
                Scramble(s.image, 3);
                Picture want = Capture(s.image);
                const int32_t px = x < 30 ? x : far[x - 30];
                StampPen(s.image, {60, -60, 255, n}, px, y);
                ModelStamp(want, {60, -60, 255, n}, px, y);
                ASSERT_EQ(Capture(s.image), want) << "pen " << n << " at " << px << "," << y;
            }
}
