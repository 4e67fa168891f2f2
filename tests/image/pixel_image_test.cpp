#include "image/pixel_image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>

#include "tests/support/test_files.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace {

// A painted image whose every byte, the fourth ones included, is worth comparing afterwards.
void Paint(PixelImage& image) {
    FillPattern(image);
    MarkFourthBytes(image);
}

// All black, with the 40-byte header of a top-down 32-bit bitmap right before the pixels.
void ExpectBlackTopDown(const PixelImage& image, int32_t w, int32_t h) {
    ASSERT_EQ(image.GetWidth(), w);
    ASSERT_EQ(image.GetHeight(), h);
    const ImageSnapshot snap = Snapshot(image);
    ASSERT_EQ(snap.pixels.size(), size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < snap.pixels.size(); ++i) {
        ASSERT_EQ(snap.pixels[i], 0) << "byte " << i;
    }
    EXPECT_EQ(image.GetPixels(), image.GetHeader() + 40);
    Bytes want(40, 0);
    PutLe32(want, 0, 40);
    PutLe32(want, 4, static_cast<uint32_t>(w));
    PutLe32(want, 8, static_cast<uint32_t>(-h));
    PutLe16(want, 12, 1);
    PutLe16(want, 14, 32);
    EXPECT_EQ(snap.header, want);
}

}  // namespace

TEST(PixelImageTest, NewAndRebuiltImagesAreBlackWithATopDown32BitHeader) {
    ScopedImage s;
    ExpectBlackTopDown(s.image, 128, 128);
    Paint(s.image);
    ASSERT_TRUE(s.image.Create(3, 2));
    ExpectBlackTopDown(s.image, 3, 2);
}

// The block size is refused exactly past the signed 32-bit limit, and every refused size,
// whether below 1 or too big for the block, keeps the old picture.
TEST(PixelImageTest, RefusedSizesKeepSizeAndEveryByte) {
    // 65536 x 65536 is 2^32 pixels (a 32-bit product wraps to 0); 4 x 32768 x 32769 wraps a
    // 32-bit count to a small positive block.
    const int32_t n = 536870901, most = 2147483644, lo = INT32_MIN, hi = INT32_MAX;  // 4n + 40
    const int32_t cases[][3] = {{1, 1, 44},        {3, 2, 64},        {n, 1, most}, {1, n, most},
                                {n + 1, 1, 0},     {46341, 46341, 0}, {0, 10, 0},   {10, 0, 0},
                                {-3, -4, 0},       {lo, 1, 0},        {1, hi, 0},   {hi, hi, 0},
                                {65536, 65536, 0}, {32768, 32769, 0}};
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(5, 4));
    Paint(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    for (const auto& c : cases) {
        EXPECT_EQ(ImageBlockSize(c[0], c[1]), c[2]) << c[0] << "x" << c[1];
        if (c[2] == 0) {
            EXPECT_FALSE(s.image.Create(c[0], c[1])) << c[0] << "x" << c[1];
            EXPECT_TRUE(Snapshot(s.image) == before) << c[0] << "x" << c[1];
        }
    }
}

// The heap refusing the new block must not cost the user the picture: the block is asked for
// before the old one goes. Only POSIX lets a test cap the address space; sanitizers reserve
// far more than any cap, so they skip it too.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_UNDER_ASAN 1
#endif

TEST(PixelImageTest, CreateWhoseAllocationFailsKeepsTheOldPicture) {
#if defined(_WIN32) || defined(VELMORA_UNDER_ASAN)
    GTEST_SKIP() << "no way to make the heap refuse here";
#else
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(7, 3));
    Paint(s.image);
    const ImageSnapshot before = Snapshot(s.image);

    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%ld", &pages), 1);
    std::fclose(statm);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    rlimit capped = old;
    capped.rlim_cur = static_cast<rlim_t>(pages) * 4096 + (rlim_t{256} << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    const bool created = s.image.Create(16384, 16384);  // a 1 GiB block, past the cap
    setrlimit(RLIMIT_AS, &old);

    EXPECT_FALSE(created);
    EXPECT_TRUE(Snapshot(s.image) == before);
    EXPECT_TRUE(s.image.Create(2, 2));  // and the image still works afterwards
#endif
}

// Outside the image (and on an empty one) reads give zero and writes change nothing.
TEST(PixelImageTest, ReadsOutsideGiveZeroAndWritesOutsideChangeNothing) {
    const int32_t outside[][2] = {{-1, 0}, {4, 0}, {0, 3}, {0, -1}, {INT32_MIN, 0}, {0, INT32_MAX}};
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(4, 3));
    for (bool empty : {false, true}) {
        if (empty) {
            s.image.Release();
        } else {
            Paint(s.image);
        }
        const ImageSnapshot before = Snapshot(s.image);
        for (const auto& p : outside) {
            const int32_t x = empty ? 0 : p[0], y = empty ? 0 : p[1];
            EXPECT_EQ(s.image.GetRed(x, y) | s.image.GetGreen(x, y) | s.image.GetBlue(x, y), 0);
            EXPECT_FALSE(s.image.SetRed(x, y, 9) || s.image.SetGreen(x, y, 9) ||
                         s.image.SetBlue(x, y, 9) || s.image.AddToPixel(x, y, 1, 1, 1))
                << x << "," << y;
        }
        EXPECT_TRUE(Snapshot(s.image) == before);
    }
    EXPECT_FALSE(s.image.Create(0, 0));
    EXPECT_EQ(s.image.GetHeader(), nullptr);
    ASSERT_TRUE(s.image.Create(4, 3));  // an empty image can be rebuilt; its corners are inside
    EXPECT_TRUE(s.image.SetRed(3, 2, 1) && s.image.SetRed(0, 0, 1));
    EXPECT_EQ(s.image.GetRed(3, 2), 1);
}

// Each setter stores its clamped value in its own byte (blue, green, red, fourth) and nowhere
// else; the fourth byte is never touched.
TEST(PixelImageTest, SettersClampAndTouchOnlyTheirOwnByte) {
    using Setter = bool (PixelImage::*)(int32_t, int32_t, int32_t);
    const struct {
        Setter set;
        int byteIndex;
    } channels[] = {
        {&PixelImage::SetRed, 2}, {&PixelImage::SetGreen, 1}, {&PixelImage::SetBlue, 0}};
    const int32_t cases[][2] = {{300, 255}, {-1, 0},        {128, 128},
                                {256, 255}, {INT32_MIN, 0}, {INT32_MAX, 255}};
    for (const auto& ch : channels) {
        for (const auto& c : cases) {
            ScopedImage s;
            ASSERT_TRUE(s.image.Create(3, 3));
            Paint(s.image);
            ImageSnapshot expected = Snapshot(s.image);
            expected.pixels[(1 * 3 + 2) * 4 + ch.byteIndex] = static_cast<uint8_t>(c[1]);
            EXPECT_TRUE((s.image.*ch.set)(2, 1, c[0]));
            EXPECT_TRUE(Snapshot(s.image) == expected)
                << "byte " << ch.byteIndex << " value " << c[0];
        }
    }
}

TEST(PixelImageTest, AddToPixelClampsEachChannelOnItsOwn) {
    // Starting red, green, blue; offsets; expected red, green, blue. Offsets are not limited
    // here, so the sum must not wrap in 32 bits.
    const int32_t cases[][9] = {{10, 200, 30, 256, -256, 0, 255, 0, 30},
                                {255, 0, 30, -20, 100, 225, 235, 100, 255},
                                {1, 254, 128, -1, 1, 127, 0, 255, 255},
                                {200, 10, 0, INT32_MAX, INT32_MIN, INT32_MAX, 255, 0, 255},
                                {0, 255, 7, INT32_MIN, INT32_MAX, -7, 0, 255, 0}};
    for (const auto& c : cases) {
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(2, 2));
        Paint(s.image);
        s.image.SetRed(1, 0, c[0]);
        s.image.SetGreen(1, 0, c[1]);
        s.image.SetBlue(1, 0, c[2]);
        ImageSnapshot expected = Snapshot(s.image);
        expected.pixels[4 + 2] = static_cast<uint8_t>(c[6]);
        expected.pixels[4 + 1] = static_cast<uint8_t>(c[7]);
        expected.pixels[4 + 0] = static_cast<uint8_t>(c[8]);
        EXPECT_TRUE(s.image.AddToPixel(1, 0, c[3], c[4], c[5]));
        EXPECT_TRUE(Snapshot(s.image) == expected)
            << "(" << c[0] << "," << c[1] << "," << c[2] << ") + (" << c[3] << "," << c[4] << ","
            << c[5] << ")";
    }
}
