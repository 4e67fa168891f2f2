#include "image/bmp_file.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

TEST(BmpFileTest, RoundTripThroughARealFileKeepsEveryPixel) {
    ScratchDir dir;
    ScopedImage src;
    ASSERT_TRUE(src.image.Create(5, 3));
    FillPattern(src.image);
    ASSERT_TRUE(SaveBmp(src.image, dir.Path("a.bmp").c_str()));
    ScopedImage back;
    ASSERT_TRUE(LoadBmp(back.image, dir.Path("a.bmp").c_str()));
    ASSERT_EQ(back.image.GetWidth(), 5);
    ASSERT_EQ(back.image.GetHeight(), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(back.image.GetRed(x, y), src.image.GetRed(x, y)) << x << "," << y;
            EXPECT_EQ(back.image.GetGreen(x, y), src.image.GetGreen(x, y)) << x << "," << y;
            EXPECT_EQ(back.image.GetBlue(x, y), src.image.GetBlue(x, y)) << x << "," << y;
        }
    }
}
