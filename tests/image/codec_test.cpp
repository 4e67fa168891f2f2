#include <gtest/gtest.h>

#include "tests/support/codec_harness.h"

// Vector tails, truncations, hostile fields, colour tables, bytes past the rows, from files and
// pipes; the 13.5 MB file is read in blocks.
TEST(CodecTest, ReadersMatchTheModels) {
    ScratchDir dir;
    const std::string path = dir.Path("in.bmp");
    for (int32_t w : {1, 2, 3, 4, 5, 15, 16, 17}) {
        Bytes tail = MakeBmp(w, 3);
        tail.insert(tail.end(), 7, 0x5A);
        for (const Bytes& b :
             {MakeBmp(w, 3), MakeBmp(w, 2, 0, 124), tail, MakeDib(w, 2, 24), MakeDib(w, 2, 32),
              MakeDib(w, 2, 32, 40, 3), MakeDib(w, 2, 32, 52, 3), MakeDib(w, 2, 24, 124)})
            EXPECT_EQ(Mismatch(b, path), "") << w;
    }
    const struct {
        Bytes small;
        std::vector<size_t> fields;
    } sweeps[] = {{MakeBmp(3, 2), {10, 18, 22, 28}}, {MakeDib(3, 2, 32), {0, 4, 8, 14, 16, 32}}};
    for (const auto& [small, fields] : sweeps) {
        for (size_t length = 0; length < small.size(); ++length)
            EXPECT_EQ(Mismatch(Bytes(small.begin(), small.begin() + length), path), "");
        for (size_t at : fields)
            for (uint32_t value : {0u, 1u, 3u, 32u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
                Bytes b = small;
                PutLe32(b, at, value);
                EXPECT_EQ(Mismatch(b, path), "") << at << " = " << value;
            }
    }
    for (uint32_t entries : {2, 256})
        for (Bytes b : {MakeDib(5, 3, 24), MakeDib(4, 2, 32, 40, 3)}) {
            b.insert(b.begin() + (b[16] == 3 ? 52 : 40), entries * 4, 0x77);
            PutLe32(b, 32, entries);
            EXPECT_EQ(Mismatch(b), "") << entries;
        }
    EXPECT_EQ(Mismatch(MakeBmp(1501, 3000), path), "");
    ScopedImage s;
    BmpError error = BmpError::kNone;
    EXPECT_FALSE(LoadBmp(s.image, nullptr));
    EXPECT_FALSE(LoadBmp(s.image, dir.root.c_str(), &error));  // a folder
    EXPECT_EQ(error, BmpError::kCannotOpen);
#ifndef _WIN32
    // A device is no plain file either, and its refusal closes what it opened.
    const auto open = std::distance(fs::directory_iterator("/proc/self/fd"), {});
    EXPECT_FALSE(LoadBmp(s.image, "/dev/null", &error));
    EXPECT_EQ(error, BmpError::kCannotOpen);
    EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), open);
#endif
    // A file that shrinks under a load leaves the old picture; Windows holds a loading file.
    const ReadBlocks shrink{256, [&path] {
                                std::error_code refused;
                                fs::resize_file(path, 600, refused);
                            }};
    ASSERT_TRUE(WriteFileBytes(path, MakeBmp(17, 40)));
    const BmpInput in{path.c_str(), nullptr, &shrink};
#ifdef _WIN32
    EXPECT_TRUE(LoadBmpFrom(s.image, in, &error));
#else
    EXPECT_FALSE(LoadBmpFrom(s.image, in, &error));
    EXPECT_EQ(error, BmpError::kTruncated);
    EXPECT_EQ(Capture(s.image), Blank(128, 128));
#endif
    // 30000 x 25000 pixels, 3 GB as an image, in a sparse file.
    Bytes head = MakeBmp(1, 1);
    PutLe32(head, 18, 30000);
    PutLe32(head, 22, 25000);
    ASSERT_TRUE(WriteFileBytes(path, head));
    std::error_code refused;
    fs::resize_file(path, 54 + uint64_t{90000} * 25000, refused);
    if (refused)
        GTEST_SKIP() << "no sparse file of 2.25 GB here: " << refused.message();
    const Picture before = Capture(s.image);
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error));
    EXPECT_EQ(error, BmpError::kTooLarge);
    // Nor does a load take a small picture from a file that long.
    ASSERT_TRUE(WriteFileBytes(path, MakeBmp(1, 1)));
    fs::resize_file(path, 54 + uint64_t{90000} * 25000, refused);
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error)) << "1x1 in a file past 2 GiB";
    EXPECT_EQ(error, BmpError::kTooLarge);
    EXPECT_EQ(Capture(s.image), before);
}

// Even under the longest name (relative) or, on Windows, the longest whole path.
TEST(CodecTest, SavesTheFixedLayoutOverAnOldFile) {
#ifdef _WIN32
    const size_t longest[2] = {250, 259};
#else
    const size_t longest[2] = {255, 0};
#endif
    for (bool whole : {false, true}) {
        ScratchDir dir;
        WorkingIn here(dir.root);
        const size_t length = whole ? longest[1] - dir.root.size() - 1 : longest[0];
        const std::string name = std::string(length - 4, 'n') + ".bmp";
        // Every fill length, 0 to 3 bytes a row, in the file and in the clipboard's block.
        for (auto [width, height] :
             {std::pair{1501, 3000}, {17, 2}, {16, 2}, {5, 3}, {3, 1}, {2, 2}, {1, 2}}) {
            ScopedImage s;
            const Bytes dib = MakeDib(width, height, 32);  // fourth bytes to drop
            ASSERT_TRUE(ReadDibBlock(s.image, dib.data(), dib.size()));
            ASSERT_TRUE(SaveBmp(s.image, (whole ? dir.Path(name) : name).c_str())) << whole;
            const Bytes want = MakeBmp(width, height, 0);
            EXPECT_EQ(ReadFileBytes(name), want) << width;
            EXPECT_EQ(DibOf(s.image), Bytes(want.begin() + 14, want.end())) << width;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);
        }
        if (!longest[1])
            break;
    }
}
