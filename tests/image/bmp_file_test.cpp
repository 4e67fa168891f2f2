#include "image/bmp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/test_files.h"

namespace {

// Decodes from a heap block of exactly the file's length, so that a read past the end is
// caught by the sanitizer build rather than landing in spare vector capacity.
bool DecodeExact(PixelImage& image, const Bytes& file, BmpError* error) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + (file.empty() ? 1 : 0)]);
    std::copy(file.begin(), file.end(), exact.get());
    return DecodeBmp(image, exact.get(), file.size(), error);
}

void ExpectPixelsAreColourAt(const PixelImage& image, const std::string& what) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            ASSERT_EQ(image.GetRed(x, y), rgb[0]) << what << " at " << x << "," << y;
            ASSERT_EQ(image.GetGreen(x, y), rgb[1]) << what << " at " << x << "," << y;
            ASSERT_EQ(image.GetBlue(x, y), rgb[2]) << what << " at " << x << "," << y;
            ASSERT_EQ(FourthByte(image, x, y), 0) << what << " at " << x << "," << y;
        }
    }
}

// Loads through a real file and through memory; both must agree.
bool LoadBoth(PixelImage& image, const ScratchDir& dir, const Bytes& file, BmpError* error) {
    const std::string path = dir.Path("in.bmp");
    EXPECT_TRUE(WriteFileBytes(path, file));
    BmpError memoryError = BmpError::kNone;
    ScopedImage other;
    const bool fromMemory = DecodeExact(other.image, file, &memoryError);
    const bool fromFile = LoadBmp(image, path.c_str(), error);
    EXPECT_EQ(fromFile, fromMemory);
    if (error != nullptr) {
        EXPECT_EQ(*error, memoryError);
    }
    return fromFile;
}

int64_t StrideOf(int32_t width) {
    return (int64_t{width} * 3 + 3) / 4 * 4;
}

}  // namespace

TEST(BmpFileTest, RowStrideRoundsThreeBytesAPixelUpToFour) {
    EXPECT_EQ(RowStride(1), 4);
    EXPECT_EQ(RowStride(2), 8);
    EXPECT_EQ(RowStride(3), 12);
    EXPECT_EQ(RowStride(4), 12);
    EXPECT_EQ(RowStride(5), 16);
    EXPECT_EQ(RowStride(0), 0);
    EXPECT_EQ(RowStride(INT32_MAX), 6442450944);  // no 32-bit wrap
}

TEST(BmpFileTest, LoadsEveryRowPaddingBottomRowFirst) {
    ScratchDir dir;
    for (int32_t w = 1; w <= 5; ++w) {
        for (int32_t h = 1; h <= 3; ++h) {
            ScopedImage s;
            BmpError error = BmpError::kTooLarge;
            ASSERT_TRUE(LoadBoth(s.image, dir, MakeBmp(w, h), &error)) << w << "x" << h;
            EXPECT_EQ(error, BmpError::kNone);
            ASSERT_EQ(s.image.GetWidth(), w);
            ASSERT_EQ(s.image.GetHeight(), h);
            ExpectPixelsAreColourAt(s.image, std::to_string(w) + "x" + std::to_string(h));
        }
    }
}

// Byte-exact: a 2 x 2 file written out by hand. The first row after the headers is the
// bottom row, pixels run blue, green, red, and the two fill bytes per row are skipped.
TEST(BmpFileTest, HandWrittenTwoByTwoFileGivesTheNamedPixels) {
    Bytes file = MakeBmp(2, 2);
    ASSERT_EQ(file.size(), 70u);
    const uint8_t rows[16] = {
        0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAA, 0xBB,  // bottom row: (0,1) then (1,1)
        0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0xCC, 0xDD,  // top row: (0,0) then (1,0)
    };
    std::copy(rows, rows + 16, file.begin() + 54);
    ScratchDir dir;
    ScopedImage s;
    ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr));
    struct Expect {
        int32_t x, y;
        uint8_t r, g, b;
    };
    const Expect pixels[] = {{0, 1, 0x03, 0x02, 0x01},
                             {1, 1, 0x06, 0x05, 0x04},
                             {0, 0, 0x13, 0x12, 0x11},
                             {1, 0, 0x16, 0x15, 0x14}};
    for (const Expect& e : pixels) {
        EXPECT_EQ(s.image.GetRed(e.x, e.y), e.r) << e.x << "," << e.y;
        EXPECT_EQ(s.image.GetGreen(e.x, e.y), e.g) << e.x << "," << e.y;
        EXPECT_EQ(s.image.GetBlue(e.x, e.y), e.b) << e.x << "," << e.y;
        EXPECT_EQ(FourthByte(s.image, e.x, e.y), 0);
    }
}

// Files other programs write: whatever the reader does not consult must not matter.
TEST(BmpFileTest, AcceptsWhatTheReaderDoesNotConsult) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> mutate;
    };
    const Case cases[] = {
        {"unchanged", [](Bytes&) {}},
        {"magic not BM", [](Bytes& b) { b[0] = 'X', b[1] = 'Y'; }},
        {"compression 1", [](Bytes& b) { PutLe32(b, 30, 1); }},
        {"compression 3", [](Bytes& b) { PutLe32(b, 30, 3); }},
        {"file size field wrong", [](Bytes& b) { PutLe32(b, 2, 0xFFFFFFFF); }},
        {"info header size 108", [](Bytes& b) { PutLe32(b, 14, 108); }},
        {"planes 0", [](Bytes& b) { PutLe16(b, 26, 0); }},
        {"colours used 256", [](Bytes& b) { PutLe32(b, 46, 256); }},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end(), 9, 0x5A); }},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        Bytes file = MakeBmp(3, 2);
        c.mutate(file);
        ScopedImage s;
        ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr)) << c.name;
        ASSERT_EQ(s.image.GetWidth(), 3) << c.name;
        ASSERT_EQ(s.image.GetHeight(), 2) << c.name;
        ExpectPixelsAreColourAt(s.image, c.name);
    }
}

// The pixel data offset is honoured as stored, in both directions.
TEST(BmpFileTest, PixelDataOffsetIsHonoured) {
    ScratchDir dir;
    {
        Bytes file = MakeBmp(3, 2);
        file.insert(file.begin() + 54, 6, 0x77);  // six bytes the reader must skip
        PutLe32(file, 10, 60);
        ScopedImage s;
        ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr));
        ExpectPixelsAreColourAt(s.image, "offset 60");
    }
    {
        // An offset inside the headers makes header bytes the first row read: a 1 x 1 file
        // with offset 2 reads blue, green, red from bytes 2, 3 and 4 (the file size field).
        Bytes file = MakeBmp(1, 1);
        PutLe32(file, 10, 2);
        PutLe32(file, 2, 0x00332211);
        ScopedImage s;
        ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr));
        EXPECT_EQ(s.image.GetBlue(0, 0), 0x11);
        EXPECT_EQ(s.image.GetGreen(0, 0), 0x22);
        EXPECT_EQ(s.image.GetRed(0, 0), 0x33);
    }
}

TEST(BmpFileTest, FileEndingExactlyAtThePixelDataLoads) {
    ScratchDir dir;
    for (int32_t w = 1; w <= 5; ++w) {
        Bytes file = MakeBmp(w, 3);
        ASSERT_EQ(file.size(), static_cast<size_t>(54 + StrideOf(w) * 3));
        // The last row's fill bytes are part of the stride the reader demands.
        ScopedImage s;
        ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr)) << w;
        file.pop_back();
        BmpError error = BmpError::kNone;
        EXPECT_FALSE(LoadBoth(s.image, dir, file, &error)) << w;
        EXPECT_EQ(error, BmpError::kTruncated) << w;
    }
}

// Each refused file, through a real file and through memory, leaves the image's size and every
// byte as they were.
TEST(BmpFileTest, RefusedFilesLeaveTheImageUntouched) {
    struct Case {
        std::string name;
        std::function<void(Bytes&)> mutate;
        BmpError why;
    };
    std::vector<Case> cases = {
        {"empty file", [](Bytes& b) { b.clear(); }, BmpError::kNotBmp24},
        {"13 bytes", [](Bytes& b) { b.resize(13); }, BmpError::kNotBmp24},
        {"bpp 8", [](Bytes& b) { PutLe16(b, 28, 8); }, BmpError::kNotBmp24},
        {"bpp 16", [](Bytes& b) { PutLe16(b, 28, 16); }, BmpError::kNotBmp24},
        {"bpp 32", [](Bytes& b) { PutLe16(b, 28, 32); }, BmpError::kNotBmp24},
        {"bpp 32 with rows that fit",
         [](Bytes& b) {
             PutLe16(b, 28, 32);
             b.resize(200);
         },
         BmpError::kNotBmp24},
        {"bpp 0", [](Bytes& b) { PutLe16(b, 28, 0); }, BmpError::kNotBmp24},
        {"height -2 (top row first)", [](Bytes& b) { PutLe32(b, 22, static_cast<uint32_t>(-2)); },
         BmpError::kBadSize},
        {"height 0", [](Bytes& b) { PutLe32(b, 22, 0); }, BmpError::kBadSize},
        {"width 0", [](Bytes& b) { PutLe32(b, 18, 0); }, BmpError::kBadSize},
        {"width -3", [](Bytes& b) { PutLe32(b, 18, static_cast<uint32_t>(-3)); },
         BmpError::kBadSize},
        {"width INT32_MIN", [](Bytes& b) { PutLe32(b, 18, 0x80000000u); }, BmpError::kBadSize},
        {"one byte short", [](Bytes& b) { b.pop_back(); }, BmpError::kTruncated},
        {"one row short", [](Bytes& b) { b.resize(b.size() - 12); }, BmpError::kTruncated},
        {"headers only", [](Bytes& b) { b.resize(54); }, BmpError::kTruncated},
        {"offset at the end", [](Bytes& b) { PutLe32(b, 10, static_cast<uint32_t>(b.size())); },
         BmpError::kTruncated},
        {"offset past the end",
         [](Bytes& b) { PutLe32(b, 10, static_cast<uint32_t>(b.size() + 1)); },
         BmpError::kTruncated},
        {"offset 0xFFFFFFFF", [](Bytes& b) { PutLe32(b, 10, 0xFFFFFFFFu); }, BmpError::kTruncated},
        {"offset 0xFFFFFFF0", [](Bytes& b) { PutLe32(b, 10, 0xFFFFFFF0u); }, BmpError::kTruncated},
        {"huge width", [](Bytes& b) { PutLe32(b, 18, 0x7FFFFFFF); }, BmpError::kTruncated},
        {"huge height", [](Bytes& b) { PutLe32(b, 22, 0x7FFFFFFF); }, BmpError::kTruncated},
        {"huge width and height",
         [](Bytes& b) { PutLe32(b, 18, 0x7FFFFFFF), PutLe32(b, 22, 0x7FFFFFFF); },
         BmpError::kTruncated},
        // 0x55555556 x 3 wraps a 32-bit stride to 4 bytes, so 32-bit arithmetic would accept it.
        {"width whose stride wraps 32 bits", [](Bytes& b) { PutLe32(b, 18, 0x55555556); },
         BmpError::kTruncated},
        // 2^30 rows of 4 bytes: a 32-bit stride x height wraps to 0.
        {"rows whose total wraps 32 bits",
         [](Bytes& b) { PutLe32(b, 18, 1), PutLe32(b, 22, 0x40000000); }, BmpError::kTruncated},
        // 54 + 16 x 0x0FFFFFFD wraps a 32-bit sum to 6 bytes.
        {"offset plus rows wraps 32 bits",
         [](Bytes& b) { PutLe32(b, 18, 5), PutLe32(b, 22, 0x0FFFFFFD); }, BmpError::kTruncated},
    };
    // Files of 14 to 29 bytes end inside the fields the reader needs.
    for (size_t n = 14; n <= 29; ++n) {
        cases.push_back(
            {std::to_string(n) + " bytes", [n](Bytes& b) { b.resize(n); }, BmpError::kNotBmp24});
    }
    ScratchDir dir;
    for (const Case& c : cases) {
        Bytes file = MakeBmp(3, 2);
        c.mutate(file);
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(4, 5));
        FillPattern(s.image);
        MarkFourthBytes(s.image);
        const ImageSnapshot before = Snapshot(s.image);
        BmpError error = BmpError::kNone;
        EXPECT_FALSE(LoadBoth(s.image, dir, file, &error)) << c.name;
        EXPECT_EQ(error, c.why) << c.name;
        EXPECT_TRUE(Snapshot(s.image) == before) << c.name;
    }
    // Bits per pixel is a 16-bit field: what follows it is compression, which is not read.
    Bytes file = MakeBmp(3, 2);
    PutLe32(file, 28, 24 + 65536);
    ScopedImage s;
    EXPECT_TRUE(LoadBoth(s.image, dir, file, nullptr));
}

// Cut to every shorter length, a file is refused without reading past what it holds.
TEST(BmpFileTest, EveryShorterCutIsRefusedWithoutReadingPastTheEnd) {
    for (int32_t w = 1; w <= 4; ++w) {
        const Bytes whole = MakeBmp(w, 2);
        for (size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            ScopedImage s;
            FillPattern(s.image);
            const ImageSnapshot before = Snapshot(s.image);
            EXPECT_FALSE(DecodeExact(s.image, cut, nullptr)) << w << " wide, cut to " << n;
            ASSERT_TRUE(Snapshot(s.image) == before) << w << " wide, cut to " << n;
        }
    }
}

// Any single byte replaced: no read out of bounds, and either a clean load of the size the
// header states or a refusal that changes nothing.
TEST(BmpFileTest, SingleByteDamageNeverCorruptsTheImage) {
    const Bytes whole = MakeBmp(3, 2);
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    for (size_t i = 0; i < whole.size(); ++i) {
        for (uint8_t v : values) {
            Bytes file = whole;
            file[i] = v;
            ScopedImage s;
            FillPattern(s.image);
            const ImageSnapshot before = Snapshot(s.image);
            if (DecodeExact(s.image, file, nullptr)) {
                EXPECT_EQ(s.image.GetWidth(), static_cast<int32_t>(GetLe32(file, 18)));
                EXPECT_EQ(s.image.GetHeight(), static_cast<int32_t>(GetLe32(file, 22)));
            } else {
                ASSERT_TRUE(Snapshot(s.image) == before) << "byte " << i << " = " << int{v};
            }
        }
    }
}

TEST(BmpFileTest, FilesThatCannotBeOpenedAreRefused) {
    ScratchDir dir;
    ScopedImage s;
    FillPattern(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    BmpError error = BmpError::kNone;
    EXPECT_FALSE(LoadBmp(s.image, dir.Path("missing.bmp").c_str(), &error));
    EXPECT_EQ(error, BmpError::kCannotOpen);
    EXPECT_FALSE(LoadBmp(s.image, dir.Root().c_str(), &error));  // a folder
    EXPECT_EQ(error, BmpError::kCannotOpen);
    EXPECT_FALSE(LoadBmp(s.image, nullptr, &error));
    EXPECT_TRUE(Snapshot(s.image) == before);
}

// A file longer than any block the core can hold is refused before anything is allocated.
// The file is sparse, so it costs no disk space.
TEST(BmpFileTest, FileLongerThanTwoGigabytesIsRefusedAsTooLarge) {
    ScratchDir dir;
    const std::string path = dir.Path("huge.bmp");
    ASSERT_TRUE(WriteFileBytes(path, MakeBmp(2, 2)));
    std::error_code ec;
    std::filesystem::resize_file(path, uint64_t{1} << 31, ec);
    if (ec) {
        GTEST_SKIP() << "cannot make a sparse file here: " << ec.message();
    }
    ScopedImage s;
    FillPattern(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    BmpError error = BmpError::kNone;
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error));
    EXPECT_EQ(error, BmpError::kTooLarge);
    EXPECT_TRUE(Snapshot(s.image) == before);
}

TEST(BmpFileTest, SavedFileHasTheFixedHeaderAndBottomUpPaddedRows) {
    struct Case {
        int32_t width, height;
        size_t fileSize;
    };
    const Case cases[] = {{1, 1, 58}, {2, 2, 70}, {4, 1, 66},         {3, 1, 66},
                          {5, 2, 86}, {1, 3, 66}, {7, 5, 54 + 24 * 5}};
    ScratchDir dir;
    for (const Case& c : cases) {
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(c.width, c.height));
        FillPattern(s.image);
        MarkFourthBytes(s.image);
        const std::string path = dir.Path("out.bmp");
        ASSERT_TRUE(SaveBmp(s.image, path.c_str()));
        const Bytes b = ReadFileBytes(path);
        ASSERT_EQ(b.size(), c.fileSize) << c.width << "x" << c.height;
        // offset: value, for every header field; the rest of the 54 bytes is 0.
        const struct {
            size_t offset, size;
            uint32_t value;
        } fields[] = {
            {0, 2, 0x4D42},
            {2, 4, static_cast<uint32_t>(c.fileSize)},
            {6, 4, 0},
            {10, 4, 54},
            {14, 4, 40},
            {18, 4, static_cast<uint32_t>(c.width)},
            {22, 4, static_cast<uint32_t>(c.height)},
            {26, 2, 1},
            {28, 2, 24},
            {30, 4, 0},
            {34, 4, 0},
            {38, 4, 0},
            {42, 4, 0},
            {46, 4, 0},
            {50, 4, 0},
        };
        for (const auto& f : fields) {
            const uint32_t got = f.size == 2
                                     ? uint32_t{b[f.offset]} | uint32_t{b[f.offset + 1]} << 8
                                     : GetLe32(b, f.offset);
            EXPECT_EQ(got, f.value) << c.width << "x" << c.height << " field at " << f.offset;
        }
        const int64_t stride = StrideOf(c.width);
        for (int32_t r = 0; r < c.height; ++r) {
            const size_t row = 54 + static_cast<size_t>(r * stride);
            const int32_t y = c.height - 1 - r;  // first row in the file is the bottom row
            for (int32_t x = 0; x < c.width; ++x) {
                uint8_t rgb[3];
                ColourAt(x, y, rgb);
                EXPECT_EQ(b[row + 3 * x + 0], rgb[2]) << "blue " << x << "," << y;
                EXPECT_EQ(b[row + 3 * x + 1], rgb[1]) << "green " << x << "," << y;
                EXPECT_EQ(b[row + 3 * x + 2], rgb[0]) << "red " << x << "," << y;
            }
            for (int64_t i = 3 * c.width; i < stride; ++i) {
                EXPECT_EQ(b[row + static_cast<size_t>(i)], 0)
                    << "fill byte " << i << " of row " << r;
            }
        }
    }
}

TEST(BmpFileTest, RoundTripKeepsEveryChannelAndZeroesTheFourthByte) {
    ScratchDir dir;
    for (int32_t w = 1; w <= 6; ++w) {
        for (int32_t h = 1; h <= 3; ++h) {
            ScopedImage src;
            ASSERT_TRUE(src.image.Create(w, h));
            FillPattern(src.image);
            MarkFourthBytes(src.image);
            const std::string path = dir.Path("round.bmp");
            ASSERT_TRUE(SaveBmp(src.image, path.c_str()));
            ScopedImage back;
            ASSERT_TRUE(LoadBmp(back.image, path.c_str()));
            ASSERT_EQ(back.image.GetWidth(), w);
            ASSERT_EQ(back.image.GetHeight(), h);
            ExpectPixelsAreColourAt(back.image,
                                    "round trip " + std::to_string(w) + "x" + std::to_string(h));
        }
    }
}

TEST(BmpFileTest, SaveReplacesAnOldFileAndLeavesNothingElseBehind) {
    ScratchDir dir;
    const std::string path = dir.Path("picture.bmp");
    ASSERT_TRUE(WriteFileBytes(path, Bytes(5000, 0x42)));
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(2, 2));
    FillPattern(s.image);
    ASSERT_TRUE(SaveBmp(s.image, path.c_str()));
    EXPECT_EQ(ReadFileBytes(path).size(), 70u);
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Root())) {
        ++entries;
        EXPECT_EQ(entry.path().filename().string(), "picture.bmp");
    }
    EXPECT_EQ(entries, 1u);
}

TEST(BmpFileTest, EmptyImageSavesHeadersOnlyAndThatFileIsRefused) {
    ScratchDir dir;
    ScopedImage empty;
    empty.image.Release();
    const std::string path = dir.Path("empty.bmp");
    ASSERT_TRUE(SaveBmp(empty.image, path.c_str()));
    const Bytes b = ReadFileBytes(path);
    ASSERT_EQ(b.size(), 54u);
    EXPECT_EQ(GetLe32(b, 2), 54u);
    EXPECT_EQ(GetLe32(b, 18), 0u);
    EXPECT_EQ(GetLe32(b, 22), 0u);

    ScopedImage s;
    FillPattern(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    BmpError error = BmpError::kNone;
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error));
    EXPECT_EQ(error, BmpError::kBadSize);
    EXPECT_TRUE(Snapshot(s.image) == before);
}
