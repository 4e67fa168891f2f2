#include "image/bmp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/test_files.h"

namespace {

// Decodes from a heap block of exactly the file's length, so that a read past the end is
// caught by the sanitizer build rather than landing in spare vector capacity.
bool DecodeExact(PixelImage& image, const Bytes& file, BmpError* error) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + 1]);
    std::copy(file.begin(), file.end(), exact.get());
    return DecodeBmp(image, exact.get(), file.size(), error);
}

void ExpectPixelsAreColourAt(const PixelImage& image, const std::string& what) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            const uint8_t got[4] = {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y),
                                    FourthByte(image, x, y)};
            const uint8_t want[4] = {rgb[0], rgb[1], rgb[2], 0};
            ASSERT_TRUE(std::equal(got, got + 4, want)) << what << " at " << x << "," << y;
        }
    }
}

// Loads through a real file and through memory; both must agree.
bool LoadBoth(PixelImage& image, const ScratchDir& dir, const Bytes& file, BmpError* error) {
    const std::string path = dir.Path("in.bmp");
    EXPECT_TRUE(WriteFileBytes(path, file));
    BmpError memoryError = BmpError::kNone, fileError = BmpError::kNone;
    ScopedImage other;
    const bool fromMemory = DecodeExact(other.image, file, &memoryError);
    const bool fromFile = LoadBmp(image, path.c_str(), &fileError);
    EXPECT_EQ(fromFile, fromMemory);
    EXPECT_EQ(fileError, memoryError);
    if (error != nullptr) {
        *error = fileError;
    }
    return fromFile;
}

}  // namespace

// Every row padding, bottom row first; the file may end exactly at the last row's fill bytes
// but not one byte before.
TEST(BmpFileTest, LoadsEveryRowPaddingAndNeedsTheWholeLastRow) {
    EXPECT_EQ(RowStride(INT32_MAX), 6442450944);  // no 32-bit wrap
    ScratchDir dir;
    for (int32_t w = 1; w <= 5; ++w) {
        for (int32_t h = 1; h <= 3; ++h) {
            const std::string what = std::to_string(w) + "x" + std::to_string(h);
            Bytes file = MakeBmp(w, h);
            ASSERT_EQ(file.size(), static_cast<size_t>(54 + RowStride(w) * h)) << what;
            ScopedImage s;
            ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr)) << what;
            ASSERT_EQ(s.image.GetWidth(), w);
            ASSERT_EQ(s.image.GetHeight(), h);
            ExpectPixelsAreColourAt(s.image, what);
            file.pop_back();
            BmpError error = BmpError::kNone;
            EXPECT_FALSE(LoadBoth(s.image, dir, file, &error)) << what;
            EXPECT_EQ(error, BmpError::kTruncated) << what;
        }
    }
}

// Files other programs write: fields the reader does not consult must not matter, and the
// pixel data offset is honoured as stored.
TEST(BmpFileTest, AcceptsWhatTheReaderDoesNotConsultAndHonoursTheOffset) {
    struct Case {
        const char* name;
        size_t at;
        int bits;  // a 16- or 32-bit field to overwrite; 0 inserts `value` bytes at `at`
        uint32_t value;
    };
    const Case cases[] = {
        {"magic not BM", 0, 16, 0x5958},
        {"compression 3", 30, 32, 3},
        {"file size field wrong", 2, 32, ~0u},
        {"info header size 108", 14, 32, 108},
        {"planes 0", 26, 16, 0},
        {"colours used 256", 46, 32, 256},
        {"bits field's high half set", 28, 32, 24 + 65536},
        {"trailing bytes", 78, 0, 9},
        {"offset 60", 54, 0, 6},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        Bytes file = MakeBmp(3, 2);
        if (c.bits == 0) {
            file.insert(file.begin() + static_cast<std::ptrdiff_t>(c.at), c.value, 0x77);
            PutLe32(file, 10, c.at == 54 ? 54 + c.value : 54);
        } else {
            file = Altered(file, c.at, c.bits, c.value);
        }
        ScopedImage s;
        ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr)) << c.name;
        ASSERT_EQ(s.image.GetWidth(), 3) << c.name;
        ASSERT_EQ(s.image.GetHeight(), 2) << c.name;
        ExpectPixelsAreColourAt(s.image, c.name);
    }
    // An offset inside the headers makes header bytes the first row read: a 1 x 1 file with
    // offset 2 reads blue, green, red from bytes 2, 3 and 4 (the file size field).
    Bytes file = MakeBmp(1, 1);
    PutLe32(file, 10, 2);
    PutLe32(file, 2, 0x00332211);
    ScopedImage s;
    ASSERT_TRUE(LoadBoth(s.image, dir, file, nullptr));
    EXPECT_EQ(s.image.GetBlue(0, 0), 0x11);
    EXPECT_EQ(s.image.GetGreen(0, 0), 0x22);
    EXPECT_EQ(s.image.GetRed(0, 0), 0x33);
}

// Each refused file, through a real file and through memory, leaves the image's size and every
// byte as they were. Headers claiming huge pictures have their own table in the hostile tests.
TEST(BmpFileTest, RefusedFilesLeaveTheImageUntouched) {
    struct Case {
        std::string name;
        size_t at;
        int bits;  // as Altered takes them
        uint32_t value;
        BmpError why;
    };
    std::vector<Case> cases = {
        {"empty file", 0, 0, 0, BmpError::kNotBmp24},
        {"13 bytes", 13, 0, 0, BmpError::kNotBmp24},
        {"bpp 8", 28, 16, 8, BmpError::kNotBmp24},
        {"bpp 32", 28, 16, 32, BmpError::kNotBmp24},
        {"bpp 0", 28, 16, 0, BmpError::kNotBmp24},
        {"height -2 (top row first)", 22, 32, static_cast<uint32_t>(-2), BmpError::kBadSize},
        {"height 0", 22, 32, 0, BmpError::kBadSize},
        {"width 0", 18, 32, 0, BmpError::kBadSize},
        {"width INT32_MIN", 18, 32, 0x80000000u, BmpError::kBadSize},
        {"one row short", 54 + 12, 0, 0, BmpError::kTruncated},
        {"headers only", 54, 0, 0, BmpError::kTruncated},
        {"offset at the end", 10, 32, 54 + 24, BmpError::kTruncated},
        {"offset 0xFFFFFFFF", 10, 32, 0xFFFFFFFFu, BmpError::kTruncated},
    };
    // Files of 14 to 29 bytes end inside the fields the reader needs.
    for (size_t n = 14; n <= 29; ++n) {
        cases.push_back({std::to_string(n) + " bytes", n, 0, 0, BmpError::kNotBmp24});
    }
    ScratchDir dir;
    for (const Case& c : cases) {
        const Bytes file = Altered(MakeBmp(3, 2), c.at, c.bits, c.value);
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
}

TEST(BmpFileTest, FilesThatCannotBeOpenedOrAreTooLongAreRefused) {
    ScratchDir dir;
    ScopedImage s;
    FillPattern(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    BmpError error = BmpError::kNone;
    for (const std::string& path : {dir.Path("missing.bmp"), dir.Root()}) {
        EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error)) << path;
        EXPECT_EQ(error, BmpError::kCannotOpen) << path;
    }
    EXPECT_FALSE(LoadBmp(s.image, nullptr, nullptr));
    // Longer than any block the core can hold: refused before anything is allocated. Sparse,
    // so it costs no disk space.
    const std::string huge = dir.Path("huge.bmp");
    ASSERT_TRUE(WriteFileBytes(huge, MakeBmp(2, 2)));
    std::error_code ec;
    std::filesystem::resize_file(huge, uint64_t{1} << 31, ec);
    if (!ec) {
        EXPECT_FALSE(LoadBmp(s.image, huge.c_str(), &error));
        EXPECT_EQ(error, BmpError::kTooLarge);
    }
    EXPECT_TRUE(Snapshot(s.image) == before);
}

// The saved bytes are MakeBmp's layout exactly (fixed 54-byte header, bottom row first, blue
// green red) with zero fill bytes; the fourth byte is dropped and reads back as zero. Each save
// replaces a longer old file and leaves nothing else in the folder. An empty image saves the
// headers alone, a file that loading then refuses.
TEST(BmpFileTest, SaveWritesTheFixedLayoutAndRoundTrips) {
    const size_t cases[][3] = {{1, 1, 58}, {2, 2, 70}, {4, 1, 66},  {3, 1, 66},
                               {5, 2, 86}, {1, 3, 66}, {6, 3, 114}, {0, 0, 54}};
    ScratchDir dir;
    const std::string path = dir.Path("picture.bmp");
    for (const auto& c : cases) {
        const int32_t w = static_cast<int32_t>(c[0]), h = static_cast<int32_t>(c[1]);
        const std::string what = std::to_string(w) + "x" + std::to_string(h);
        ASSERT_TRUE(WriteFileBytes(path, Bytes(5000, 0x42)));
        ScopedImage s;
        if (w == 0) {
            s.image.Release();
        } else {
            ASSERT_TRUE(s.image.Create(w, h));
            FillPattern(s.image);
            MarkFourthBytes(s.image);
        }
        ASSERT_TRUE(SaveBmp(s.image, path.c_str()));
        Bytes expected = MakeBmp(w, h);
        std::replace(expected.begin() + 54, expected.end(), uint8_t{0xEE}, uint8_t{0});
        const Bytes saved = ReadFileBytes(path);
        EXPECT_EQ(saved.size(), c[2]) << what;
        EXPECT_TRUE(saved == expected) << what;
        ScopedImage back;
        BmpError error = BmpError::kNone;
        ASSERT_EQ(LoadBmp(back.image, path.c_str(), &error), w != 0) << what;
        if (w == 0) {
            EXPECT_EQ(error, BmpError::kBadSize);
            continue;
        }
        ASSERT_EQ(back.image.GetWidth(), w);
        ASSERT_EQ(back.image.GetHeight(), h);
        ExpectPixelsAreColourAt(back.image, "round trip " + what);
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Root())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"picture.bmp"});
}
