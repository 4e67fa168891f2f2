// The clipboard block on its own, in memory: what is written, what is read, what is refused.
#include "image/clipboard_dib.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/clipboard/dib_blocks.h"

namespace {

struct ReadCase {
    const char* name;
    DibLayout layout;
    long sizeChange;  // bytes added to (or, negative, cut from) the exact block
    bool accepted;
};

// A 4 x 4 image that differs from every pattern a block carries, so a refusal that touched the
// image shows up in the snapshot.
void Prepare(PixelImage& image) {
    ASSERT_TRUE(image.Create(4, 4));
    FillPattern(image);
}

constexpr uint32_t kBitfields = 3;

const ReadCase kReadCases[] = {
    {"24-bit 3x2 complete at 64 bytes", {3, 2, 24}, 0, true},
    {"24-bit 3x2 one byte short at 63", {3, 2, 24}, -1, false},
    {"24-bit 3x2 with spare bytes beyond the rows", {3, 2, 24}, 100, true},
    {"32-bit 2x2 complete at 56 bytes", {2, 2, 32}, 0, true},
    {"32-bit 2x2 one byte short at 55", {2, 2, 32}, -1, false},
    {"124-byte header, rows after it", {3, 2, 24, 124}, 0, true},
    {"124-byte header, one byte short", {3, 2, 24, 124}, -1, false},
    {"32-bit 124-byte header with bitfields", {2, 3, 32, 124, kBitfields}, 0, true},
    {"52-byte header with bitfields keeps its masks inside", {2, 3, 32, 52, kBitfields}, 0, true},
    {"40-byte header, bitfields, masks before rows", {3, 2, 32, 40, kBitfields, true}, 0, true},
    {"40-byte header, bitfields, masks counted in the size",
     {3, 2, 32, 40, kBitfields, true},
     -1,
     false},
    {"24-bit with bitfields compression is read as plain rows",
     {3, 2, 24, 40, kBitfields},
     0,
     true},
    {"8-bit", {2, 2, 8}, 0, false},
    {"16-bit", {2, 2, 16}, 0, false},
    {"1-bit", {8, 1, 1}, 0, false},
    {"negative height", {2, -2, 24}, 64, false},
    {"zero width", {0, 2, 24}, 64, false},
    {"zero height", {2, 0, 32}, 64, false},
};

class ReadDibBlockTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadDibBlockTable, AcceptsOrRefusesWithoutTouchingTheImage) {
    const ReadCase& c = GetParam();
    Bytes block = MakeDib(c.layout);
    block.resize(static_cast<size_t>(static_cast<long>(block.size()) + c.sizeChange), 0xEE);
    ScopedImage s;
    Prepare(s.image);
    const Bytes before = ImageBytes(s.image);
    ASSERT_EQ(ReadDibBlock(s.image, block.data(), block.size()), c.accepted);
    if (c.accepted) {
        EXPECT_TRUE(
            HoldsPattern(s.image, c.layout.width, c.layout.height, c.layout.bitsPerPixel == 32));
    } else {
        EXPECT_EQ(ImageBytes(s.image), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, ReadDibBlockTable, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& param) {
                             std::string name;
                             for (const char* p = param.param.name; *p != '\0'; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

TEST(ReadDibBlock, ExactSizesOfTheSmallestBlocks) {
    // The thresholds, byte-exact: 40 + stride 12 x 2 and 40 + 2 x 2 x 4.
    EXPECT_EQ(MakeDib({3, 2, 24}).size(), 64u);
    EXPECT_EQ(MakeDib({2, 2, 32}).size(), 56u);
    EXPECT_EQ(MakeDib({3, 2, 32, 40, kBitfields, true}).size(), 76u);
}

TEST(ReadDibBlock, RefusesBlocksUnderFortyBytes) {
    ScopedImage s;
    Prepare(s.image);
    const Bytes before = ImageBytes(s.image);
    const Bytes block = MakeDib({3, 2, 24});
    for (size_t size = 0; size < 40; ++size) {
        EXPECT_FALSE(ReadDibBlock(s.image, block.data(), size)) << size;
    }
    EXPECT_FALSE(ReadDibBlock(s.image, nullptr, 64));
    EXPECT_EQ(ImageBytes(s.image), before);
}

// Header values chosen so that header size + rows, or width x height x 4, wraps a 32- or 64-bit
// sum; each must be refused, not read out of bounds.
TEST(ReadDibBlock, RefusesSizesThatWouldWrap) {
    struct Hostile {
        uint32_t headerSize;
        int32_t width;
        int32_t height;
        uint16_t bits;
    };
    const Hostile cases[] = {
        {0xFFFFFFF0u, 1, 1, 24},  // header reaches past the block (and wraps 32 bits)
        {0xFFFFFFFFu, 1, 1, 32},  //
        {41, 1, 1, 32},           // header one byte longer than the block
        {40, 0x7FFFFFFF, 0x7FFFFFFF, 32},
        {40, 0x7FFFFFFF, 0x7FFFFFFF, 24},
        {40, 0x40000000, 4, 32},  // width x 4 wraps 32 bits to 0
        {40, 0x55555556, 3, 24},  // width x 3 wraps 32 bits to 2
        {40, 1, 0x7FFFFFFF, 24},
    };
    for (const Hostile& h : cases) {
        Bytes block(88, 0x11);
        PutLe32(block, 0, h.headerSize);
        PutLe32(block, 4, static_cast<uint32_t>(h.width));
        PutLe32(block, 8, static_cast<uint32_t>(h.height));
        PutLe16(block, 14, h.bits);
        if (h.headerSize == 41) {
            block.resize(40);  // so the 41-byte header does not fit
        }
        ScopedImage s;
        Prepare(s.image);
        const Bytes before = ImageBytes(s.image);
        EXPECT_FALSE(ReadDibBlock(s.image, block.data(), block.size()))
            << h.headerSize << " " << h.width << "x" << h.height << "x" << h.bits;
        EXPECT_EQ(ImageBytes(s.image), before);
    }
}

// Each length from 0 up to the full block, in a buffer of exactly that length so a sanitizer
// build catches any read past it: only the full block pastes, every shorter one changes nothing.
TEST(ReadDibBlock, EveryTruncationIsRefusedUntilTheLastRowFits) {
    const DibLayout layouts[] = {
        {5, 3, 24}, {3, 2, 32}, {3, 2, 32, 40, kBitfields, true}, {2, 2, 24, 124}};
    for (const DibLayout& layout : layouts) {
        const Bytes full = MakeDib(layout);
        for (size_t length = 0; length <= full.size(); ++length) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
            ScopedImage s;
            Prepare(s.image);
            const Bytes before = ImageBytes(s.image);
            const bool accepted = ReadDibBlock(s.image, cut.data(), cut.size());
            ASSERT_EQ(accepted, length == full.size()) << length << " of " << full.size();
            if (!accepted) {
                ASSERT_EQ(ImageBytes(s.image), before) << length;
            }
        }
    }
}

TEST(ReadDibBlock, EveryRowPaddingOfTwentyFourBits) {
    for (int32_t width = 1; width <= 5; ++width) {
        ScopedImage s;
        const Bytes block = MakeDib({width, 3, 24});
        ASSERT_TRUE(ReadDibBlock(s.image, block.data(), block.size())) << width;
        EXPECT_TRUE(HoldsPattern(s.image, width, 3, false)) << width;
    }
}

TEST(WriteDibBlock, TwoByTwoImageLayout) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(2, 2));
    FillPattern(s.image);
    s.image.RowPixels(0)[3] = 0x77;  // a fourth byte that must not travel
    ASSERT_EQ(DibBlockSize(s.image), 56u);
    Bytes block(56, 0xCC);  // not zeroed: every byte must be written
    WriteDibBlock(s.image, block.data());

    Bytes header(40, 0);
    PutLe32(header, 0, 40);
    PutLe32(header, 4, 2);
    PutLe32(header, 8, 2);  // positive: bottom row first
    PutLe16(header, 12, 1);
    PutLe16(header, 14, 24);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 40), header);
    for (int32_t r = 0; r < 2; ++r) {
        const int32_t y = 1 - r;  // the first row after the header is the bottom row
        const size_t row = 40 + static_cast<size_t>(r) * 8;
        for (int32_t x = 0; x < 2; ++x) {
            EXPECT_EQ(block[row + 3 * x + 0], s.image.GetBlue(x, y)) << x << "," << y;
            EXPECT_EQ(block[row + 3 * x + 1], s.image.GetGreen(x, y)) << x << "," << y;
            EXPECT_EQ(block[row + 3 * x + 2], s.image.GetRed(x, y)) << x << "," << y;
        }
        EXPECT_EQ(block[row + 6], 0) << "fill byte, row " << r;
        EXPECT_EQ(block[row + 7], 0) << "fill byte, row " << r;
    }
}

TEST(WriteDibBlock, EmptyImageIsHeaderOnly) {
    ScopedImage s;
    s.image.Release();
    ASSERT_EQ(DibBlockSize(s.image), 40u);
    Bytes block(40, 0xCC);
    WriteDibBlock(s.image, block.data());
    EXPECT_EQ(GetLe32(block, 0), 40u);
    EXPECT_EQ(GetLe32(block, 4), 0u);
    EXPECT_EQ(GetLe32(block, 8), 0u);
    EXPECT_EQ(block[14], 24);
    // An empty block pastes as nothing: the header has no rows to give.
    ScopedImage target;
    EXPECT_FALSE(ReadDibBlock(target.image, block.data(), block.size()));
}

TEST(WriteDibBlock, RoundTripKeepsColoursAndClearsFourthBytes) {
    for (int32_t width = 1; width <= 5; ++width) {
        ScopedImage source;
        ASSERT_TRUE(source.image.Create(width, 3));
        FillPattern(source.image);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                source.image.RowPixels(y)[x * 4 + 3] = 0x5A;
            }
        }
        Bytes block(DibBlockSize(source.image));
        WriteDibBlock(source.image, block.data());
        ScopedImage target;
        ASSERT_TRUE(ReadDibBlock(target.image, block.data(), block.size())) << width;
        ASSERT_EQ(target.image.GetWidth(), width);
        ASSERT_EQ(target.image.GetHeight(), 3);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                EXPECT_EQ(target.image.GetRed(x, y), source.image.GetRed(x, y));
                EXPECT_EQ(target.image.GetGreen(x, y), source.image.GetGreen(x, y));
                EXPECT_EQ(target.image.GetBlue(x, y), source.image.GetBlue(x, y));
                EXPECT_EQ(target.image.RowPixels(y)[x * 4 + 3], 0);
            }
        }
    }
}

}  // namespace
