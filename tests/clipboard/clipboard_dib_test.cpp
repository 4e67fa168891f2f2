// The clipboard block on its own, in memory: what is written, what is read, what is refused.
#include "image/clipboard_dib.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/clipboard/dib_blocks.h"

namespace {

constexpr uint32_t kBitfields = 3;

struct ReadCase {
    const char* name;
    DibLayout layout;
    size_t size;  // the block is cut or padded to exactly this length
    bool accepted;
};

// Refused shapes get spare bytes (120) so that only their header can be the reason.
const ReadCase kReadCases[] = {
    {"Bits24_3x2_CompleteAt64", {3, 2, 24}, 64, true},
    {"Bits24_3x2_OneShortAt63", {3, 2, 24}, 63, false},
    {"SpareBytesBeyondTheRows", {3, 2, 24}, 120, true},
    {"Bits32_2x2_CompleteAt56", {2, 2, 32}, 56, true},
    {"Bits32_2x2_OneShortAt55", {2, 2, 32}, 55, false},
    {"Header124_RowsAfterIt", {3, 2, 24, 124}, 148, true},
    {"Header124_OneShort", {3, 2, 24, 124}, 147, false},
    // Width 4, where four bytes a pixel and 24-bit rows with their fill no longer agree.
    {"Header52_BitfieldsKeepMasksInside", {4, 2, 32, 52, kBitfields}, 84, true},
    {"Header40_BitfieldsMasksBeforeRows", {4, 2, 32, 40, kBitfields, true}, 84, true},
    {"Header40_BitfieldsMasksCounted", {4, 2, 32, 40, kBitfields, true}, 83, false},
    {"Bits24_BitfieldsReadAsPlainRows", {3, 2, 24, 40, kBitfields}, 64, true},
    {"ShortOfAHeaderAt39", {3, 2, 24}, 39, false},
    {"Bits8", {2, 2, 8}, 120, false},
    {"Bits16", {2, 2, 16}, 120, false},
    {"NegativeHeight", {2, -2, 24}, 120, false},
    {"ZeroWidth", {0, 2, 24}, 120, false},
    {"ZeroHeight", {2, 0, 32}, 120, false},
};

class ReadDibBlockTable : public ::testing::TestWithParam<ReadCase> {};

// Each block sits in a buffer of exactly its length, so a sanitizer build catches a read past it.
TEST_P(ReadDibBlockTable, AcceptsOrRefusesWithoutTouchingTheImage) {
    const ReadCase& c = GetParam();
    Bytes block = MakeDib(c.layout);
    block.resize(c.size, 0xEE);
    ScopedImage s;
    PrepareTarget(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    ASSERT_EQ(ReadDibBlock(s.image, block.data(), block.size()), c.accepted);
    if (c.accepted) {
        const bool deep = c.layout.bitsPerPixel == 32;
        EXPECT_TRUE(HoldsPattern(s.image, c.layout.width, c.layout.height,
                                 deep ? Fourth::kPattern : Fourth::kZero));
    } else {
        EXPECT_TRUE(Snapshot(s.image) == before);
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, ReadDibBlockTable, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& param) {
                             return std::string(param.param.name);
                         });

// Header values whose header size + rows, or width x height x bytes, wraps a 32- or 64-bit sum.
// More of them, read through every road in, are in the hostile header tests.
TEST(ReadDibBlock, RefusesSizesThatWouldWrap) {
    struct Hostile {
        uint32_t headerSize;
        int32_t width;
        int32_t height;
        uint16_t bits;
    };
    const Hostile cases[] = {
        {0xFFFFFFF0u, 1, 1, 24},           // header past the block, wrapping 32 bits
        {40, 0x7FFFFFFF, 0x7FFFFFFF, 32},  // the pixel count wraps 32 bits
        {40, 0x55555556, 3, 24},           // width x 3 wraps 32 bits to 2
    };
    ScopedImage s;
    PrepareTarget(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    for (const Hostile& h : cases) {
        Bytes block(88, 0x11);
        PutLe32(block, 0, h.headerSize);
        PutLe32(block, 4, static_cast<uint32_t>(h.width));
        PutLe32(block, 8, static_cast<uint32_t>(h.height));
        PutLe16(block, 14, h.bits);
        EXPECT_FALSE(ReadDibBlock(s.image, block.data(), block.size()))
            << h.headerSize << " " << h.width << "x" << h.height << "x" << h.bits;
    }
    EXPECT_FALSE(ReadDibBlock(s.image, nullptr, 64));
    EXPECT_TRUE(Snapshot(s.image) == before);
}

TEST(WriteDibBlock, TwoByTwoIsBottomRowFirstWithZeroFill) {
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(2, 2));
    FillPattern(s.image);
    MarkFourthBytes(s.image);  // they must not travel
    ASSERT_EQ(DibBlockSize(s.image), 56u);
    Bytes block(56, 0xCC);  // not zeroed: every byte must be written
    WriteDibBlock(s.image, block.data());
    Bytes expected = MakeDib({2, 2, 24});
    for (size_t fill : {46, 47, 54, 55}) {
        expected[fill] = 0;
    }
    EXPECT_EQ(block, expected);
}

// Every row padding of 24 bits, read in and then written and read back.
TEST(WriteDibBlock, RoundTripKeepsColoursAndClearsFourthBytes) {
    for (int32_t width = 1; width <= 4; ++width) {
        ScopedImage source;
        const Bytes in = MakeDib({width, 3, 24});
        ASSERT_TRUE(ReadDibBlock(source.image, in.data(), in.size())) << width;
        EXPECT_TRUE(HoldsPattern(source.image, width, 3, Fourth::kZero)) << width;
        MarkFourthBytes(source.image);
        Bytes block(DibBlockSize(source.image));
        WriteDibBlock(source.image, block.data());
        ScopedImage target;
        ASSERT_TRUE(ReadDibBlock(target.image, block.data(), block.size())) << width;
        EXPECT_TRUE(HoldsPattern(target.image, width, 3, Fourth::kZero)) << width;
    }
}

}  // namespace
