// The fast roads (vector pixel addition, whole-row BMP conversion, the large-block allocator)
// held against the per-pixel definitions they replace, on random pixels and awkward widths.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/bmp_file_internal.h"
#include "image/pixel_addition.h"
#include "image/pixel_addition_internal.h"
#include "image/platform.h"
#include "tests/support/test_files.h"

namespace {

// Widths around every multiple the vector loops step by (4 and 16 pixels), and the odd ones.
const int32_t kWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 19, 20, 21, 31, 32, 33, 47, 67};

// Offsets at the saturation limits, past them, of mixed signs, and at the ends of the 32-bit
// range, which the operations themselves do not refuse.
const AdjustSettings kOffsets[] = {
    {37, -23, 200, 1},    {255, 255, 255, 1},   {-255, -255, -255, 1}, {256, -256, 0, 1},
    {-256, 256, 1, 1},    {254, -254, 255, 1},  {1, -1, 0, 1},         {0, 0, -1, 1},
    {-300, 300, -128, 1}, {INT32_MAX, 0, 7, 1}, {INT32_MIN, 5, -5, 1}, {0, INT32_MIN, INT32_MAX, 1},
};

std::string Name(const AdjustSettings& s) {
    return "offsets " + std::to_string(s.red) + "," + std::to_string(s.green) + "," +
           std::to_string(s.blue);
}

// Every byte random, the fourth ones included, so that a road that touches them is caught.
void FillRandom(PixelImage& image, std::mt19937& rng) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        uint8_t* row = image.RowPixels(y);
        for (int32_t i = 0; i < image.GetWidth() * kBytesPerPixel; ++i) {
            row[i] = static_cast<uint8_t>(rng());
        }
    }
}

std::vector<uint8_t> PixelBytesOf(const PixelImage& image) {
    const uint8_t* p = image.GetPixels();
    return std::vector<uint8_t>(p, p + size_t(image.GetWidth()) * image.GetHeight() * 4);
}

// Index and values of the first byte where two pixel blocks differ, for the failure message.
std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            return "pixel " + std::to_string(i / 4) + " byte " + std::to_string(i % 4) + ": " +
                   std::to_string(a[i]) + " vs " + std::to_string(b[i]);
        }
    }
    return a.size() == b.size() ? "equal" : "sizes differ";
}

using WholeImagePass = void (*)(PixelImage&, const AdjustSettings&);

}  // namespace

// Both roads of the whole-image pass against AddToPixel on each pixel, on every width and
// offset set above; a second pass on the result catches a road that only works from fresh data.
TEST(FastPathsTest, WholeImageRoadsMatchAddToPixel) {
    struct Road {
        const char* name;
        WholeImagePass pass;
    };
    const Road roads[] = {{"dispatching", AddToWholeImage}, {"plain", AddToWholeImagePlain}};
    std::mt19937 rng(1234);
    for (const Road& road : roads) {
        for (int32_t w : kWidths) {
            for (const AdjustSettings& s : kOffsets) {
                ScopedImage subject, reference;
                ASSERT_TRUE(subject.image.Create(w, 3));
                ASSERT_TRUE(reference.image.Create(w, 3));
                FillRandom(subject.image, rng);
                std::memcpy(reference.image.RowPixels(0), subject.image.GetPixels(),
                            size_t(w) * 3 * 4);
                for (int pass = 0; pass < 2; ++pass) {
                    road.pass(subject.image, s);
                    for (int32_t y = 0; y < 3; ++y) {
                        for (int32_t x = 0; x < w; ++x) {
                            reference.image.AddToPixel(x, y, s.red, s.green, s.blue);
                        }
                    }
                    const auto got = PixelBytesOf(subject.image),
                               want = PixelBytesOf(reference.image);
                    ASSERT_TRUE(got == want)
                        << road.name << " width " << w << " " << Name(s) << " pass " << pass << ": "
                        << FirstDifference(got, want);
                }
            }
        }
    }
}

// Every possible channel value meets the offsets that matter for saturation, on both roads:
// 256 pixels whose blue, green and red run through 0..255 (each channel in its own order).
TEST(FastPathsTest, EveryChannelValueSaturatesLikeTheDefinition) {
    const int32_t offsets[] = {-256, -255, -254, -128, -1, 0, 1, 127, 254, 255, 256};
    for (WholeImagePass pass : {AddToWholeImage, AddToWholeImagePlain}) {
        for (int32_t d : offsets) {
            ScopedImage s;
            ASSERT_TRUE(s.image.Create(256, 1));
            uint8_t* p = s.image.RowPixels(0);
            for (int v = 0; v < 256; ++v) {
                p[v * 4 + 0] = static_cast<uint8_t>(v);
                p[v * 4 + 1] = static_cast<uint8_t>(255 - v);
                p[v * 4 + 2] = static_cast<uint8_t>(v * 7);
                p[v * 4 + 3] = static_cast<uint8_t>(v ^ 0x5A);
            }
            pass(s.image, AdjustSettings{d, -d, d, 1});
            for (int v = 0; v < 256; ++v) {
                const auto clamp = [](int x) { return x < 0 ? 0 : (x > 255 ? 255 : x); };
                ASSERT_EQ(p[v * 4 + 0], clamp(v + d)) << "blue " << v << " offset " << d;
                ASSERT_EQ(p[v * 4 + 1], clamp(255 - v - d)) << "green " << v << " offset " << d;
                ASSERT_EQ(p[v * 4 + 2], clamp((v * 7) % 256 + d)) << "red " << v << " offset " << d;
                ASSERT_EQ(p[v * 4 + 3], v ^ 0x5A) << "fourth byte " << v << " offset " << d;
            }
        }
    }
}

// The row-wise stamp against the square walked pixel by pixel with AddToPixel, for every pen
// size at points inside, on and beyond each edge of an image whose width is no multiple of 4.
TEST(FastPathsTest, StampPenMatchesThePixelByPixelSquare) {
    const int32_t w = 37, h = 23;
    const int32_t xs[] = {-9, -1, 0, 1, 7, 18, 35, 36, 37, 45};
    const int32_t ys[] = {-9, -1, 0, 5, 21, 22, 23, 31};
    std::mt19937 rng(99);
    ScopedImage subject, reference;
    ASSERT_TRUE(subject.image.Create(w, h));
    ASSERT_TRUE(reference.image.Create(w, h));
    FillRandom(subject.image, rng);
    std::memcpy(reference.image.RowPixels(0), subject.image.GetPixels(), size_t(w) * h * 4);
    int round = 0;
    for (int32_t n = 1; n <= 16; ++n) {
        for (int32_t x : xs) {
            for (int32_t y : ys) {
                const AdjustSettings& s = kOffsets[round++ % (sizeof kOffsets / sizeof *kOffsets)];
                const AdjustSettings pen{s.red, s.green, s.blue, n};
                StampPen(subject.image, pen, x, y);
                for (int32_t i = 0; i < n; ++i) {
                    for (int32_t j = 0; j < n; ++j) {
                        reference.image.AddToPixel(x - n / 2 + j, y - n / 2 + i, s.red, s.green,
                                                   s.blue);
                    }
                }
                const auto got = PixelBytesOf(subject.image), want = PixelBytesOf(reference.image);
                ASSERT_TRUE(got == want) << "pen " << n << " at " << x << "," << y << " " << Name(s)
                                         << ": " << FirstDifference(got, want);
            }
        }
    }
}

// Both row converters against each other and against the byte layout, with buffers exactly as
// long as the row (the sanitizer build catches a read past them) and guard bytes after the
// output that no converter may touch.
TEST(FastPathsTest, RowConvertersReadAndWriteExactlyTheirRow) {
    using RowFn = void (*)(const uint8_t*, uint8_t*, int32_t);
    struct Converter {
        const char* name;
        RowFn fn;
        int inBytes, outBytes;
    };
    const Converter converters[] = {
        {"decode", DecodeBmpRow, 3, 4},
        {"decode plain", DecodeBmpRowPlain, 3, 4},
        {"encode", EncodeBmpRow, 4, 3},
        {"encode plain", EncodeBmpRowPlain, 4, 3},
    };
    const size_t kGuard = 32;
    std::mt19937 rng(7);
    for (const Converter& c : converters) {
        for (int32_t w = 1; w <= 70; ++w) {
            std::vector<uint8_t> in(size_t(w) * c.inBytes);
            for (uint8_t& b : in) {
                b = static_cast<uint8_t>(rng());
            }
            std::vector<uint8_t> out(size_t(w) * c.outBytes + kGuard, 0xA5);
            c.fn(in.data(), out.data(), w);
            for (int32_t x = 0; x < w; ++x) {
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(out[size_t(x) * c.outBytes + k], in[size_t(x) * c.inBytes + k])
                        << c.name << " width " << w << " pixel " << x << " byte " << k;
                }
                if (c.outBytes == 4) {
                    ASSERT_EQ(out[size_t(x) * 4 + 3], 0) << c.name << " width " << w;
                }
            }
            for (size_t g = 0; g < kGuard; ++g) {
                ASSERT_EQ(out[size_t(w) * c.outBytes + g], 0xA5)
                    << c.name << " width " << w << " wrote past its row";
            }
        }
    }
}

// The whole codec on rows long enough for the vector loops, with every kind of fill: the file
// built byte by byte loads to its colours, and saving gives back the same bytes with zero fill.
// The last file, of 13 MB, is loaded and saved in several bands and slices, each handing its
// memory back once done: none may be handed back before it is.
TEST(FastPathsTest, WideRowsLoadAndSaveByteForByte) {
    ScratchDir dir;
    const int32_t sizes[][2] = {{16, 3}, {17, 3}, {18, 3}, {19, 3}, {20, 3},
                                {21, 3}, {33, 3}, {64, 3}, {67, 3}, {3001, 1500}};
    for (const auto& size : sizes) {
        const int32_t w = size[0], h = size[1];
        SCOPED_TRACE("width " + std::to_string(w));
        const Bytes file = MakeBmp(w, h);
        const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
        ASSERT_TRUE(WriteFileBytes(in, file));
        ScopedImage s;
        ASSERT_TRUE(LoadBmp(s.image, in.c_str()));
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                uint8_t rgb[3];
                ColourAt(x, y, rgb);
                const uint8_t* p = s.image.GetPixels() + (size_t(y) * w + x) * 4;
                ASSERT_EQ(p[2], rgb[0]) << x << "," << y;
                ASSERT_EQ(p[1], rgb[1]) << x << "," << y;
                ASSERT_EQ(p[0], rgb[2]) << x << "," << y;
                ASSERT_EQ(p[3], 0) << x << "," << y;
            }
        }
        ASSERT_TRUE(SaveBmp(s.image, out.c_str()));
        const Bytes saved = ReadFileBytes(out);
        ASSERT_EQ(saved.size(), file.size());
        const size_t stride = size_t(RowStride(w));
        for (size_t i = 54; i < saved.size(); ++i) {
            const bool fill = (i - 54) % stride >= size_t(w) * 3;
            ASSERT_EQ(saved[i], fill ? 0 : file[i]) << "file byte " << i;
        }
    }
}

// The allocator's two kinds of block, on both sides of the size where it changes kind and at
// sizes that end right at or just past a 2 MiB page: zero everywhere, writable to the last
// byte, and freed without disturbing the blocks around them.
TEST(FastPathsTest, LargeAndSmallBlocksAreZeroAndWholeToTheLastByte) {
    const size_t MiB = size_t{1} << 20;
    const size_t sizes[] = {1,           15,          4096,         MiB,          4 * MiB - 1,
                            4 * MiB,     4 * MiB + 1, 6 * MiB - 88, 6 * MiB - 87, 6 * MiB + 88,
                            10 * MiB + 3};
    std::vector<uint8_t*> blocks;
    for (size_t size : sizes) {
        auto* p = static_cast<uint8_t*>(PlatformAllocZeroed(size));
        ASSERT_NE(p, nullptr) << size;
        // Sampled every 4 KiB and at both ends: a page the allocator failed to zero or to map
        // shows up as a non-zero read or a crash.
        for (size_t i = 0; i < size; i += 4093) {
            ASSERT_EQ(p[i], 0) << size << " at " << i;
        }
        ASSERT_EQ(p[size - 1], 0) << size;
        std::memset(p, 0xC3, size);
        blocks.push_back(p);
    }
    for (size_t k = 0; k < blocks.size(); k += 2) {
        PlatformFree(blocks[k]);
    }
    for (size_t k = 1; k < blocks.size(); k += 2) {
        ASSERT_EQ(blocks[k][0], 0xC3) << sizes[k];
        ASSERT_EQ(blocks[k][sizes[k] - 1], 0xC3) << sizes[k];
        PlatformFree(blocks[k]);
    }
    // A freed large block gives its pages back: a new one of the same size is zero again.
    auto* again = static_cast<uint8_t*>(PlatformAllocZeroed(10 * MiB + 3));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again[0], 0);
    EXPECT_EQ(again[10 * MiB + 2], 0);
    PlatformFree(again);
}

#if defined(__has_feature)
#define VELMORA_ASAN_FEATURE __has_feature(address_sanitizer)
#else
#define VELMORA_ASAN_FEATURE 0
#endif

// Handing back the front of a block keeps everything after it and the block itself intact, for
// blocks of either kind and lengths up to and past the block's end.
TEST(FastPathsTest, DiscardKeepsTheRestOfTheBlock) {
    const size_t MiB = size_t{1} << 20;
    const size_t cases[][2] = {{100, 50},
                               {10 * MiB, 0},
                               {10 * MiB, MiB},
                               {10 * MiB, 3 * MiB},
                               {10 * MiB, 6 * MiB + 5},
                               {10 * MiB, 10 * MiB},
                               {10 * MiB, 64 * MiB},
                               {10 * MiB, SIZE_MAX}};
    for (const auto& c : cases) {
        const size_t size = c[0], discarded = c[1];
        auto* p = static_cast<uint8_t*>(PlatformAllocZeroed(size));
        ASSERT_NE(p, nullptr);
        std::memset(p, 0xC3, size);
        PlatformDiscard(p, discarded);
        for (size_t i = discarded; i < size; i += 4093) {
            ASSERT_EQ(p[i], 0xC3) << size << " discarded " << discarded << " at " << i;
        }
        if (discarded < size) {
            ASSERT_EQ(p[size - 1], 0xC3) << size << " discarded " << discarded;
        }
        PlatformFree(p);  // aborts when the block's own record did not survive
    }
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !VELMORA_ASAN_FEATURE
    // And the memory really goes back: Linux refills given-back pages with zeros.
    auto* p = static_cast<uint8_t*>(PlatformAllocZeroed(10 * MiB));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xC3, 10 * MiB);
    PlatformDiscard(p, SIZE_MAX);
    EXPECT_EQ(p[4 * MiB], 0);
    EXPECT_EQ(p[10 * MiB - 1], 0);
    PlatformFree(p);
#endif
}

// The vector roads are what x86-64 builds must run; a build that silently fell back to the
// plain loops would still pass every test above and only be slow.
TEST(FastPathsTest, X86BuildsTakeTheVectorRoads) {
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_TRUE(HasVectorAddition());
    EXPECT_TRUE(HasVectorBmpRows());
#else
    GTEST_SKIP() << "no SSE2 on this processor";
#endif
}
