#include <gtest/gtest.h>

#include "tests/support/codec_harness.h"

// Vector tails, truncations, hostile fields (rows inside the headers or short of the end among
// them), colour tables, from files and pipes; the 13.5 MB file is read in blocks. Saves at the
// length limit (a relative name of 255, or under Windows a whole path of 259) lay every fill
// length out, new and over themselves, with nothing left beside them.
TEST(CodecTest, ReadersMatchTheModelsAndSavesTheFixedLayout) {
    ScratchDir dir;
    ScratchDir saves;
    WorkingIn here(saves.root);
    const std::string path = dir.Path("in.bmp");
#ifdef _WIN32
    const std::string name = saves.Path(std::string(254 - saves.root.size(), 'n') + ".bmp");
#else
    const std::string name = std::string(251, 'n') + ".bmp";
#endif
    for (int32_t w : {1, 2, 3, 4, 5, 15, 16, 17}) {
        for (const Bytes& b :
             {MakeBmp(w, 3), MakeBmp(w, 2, 0, 124), MakeDib(w, 2, 24), MakeDib(w, 2, 32),
              MakeDib(w, 2, 32, 40, 3), MakeDib(w, 2, 32, 52, 3), MakeDib(w, 2, 24, 124),
              MakeDib(w, 2, 24, 40, 0, 0xEE, 2), MakeDib(w, 2, 32, 40, 3, 0xEE, 256)})
            EXPECT_EQ(Mismatch(b, path), "") << w;
        ScopedImage s;
        const Bytes dib = MakeDib(w, 2, 32);  // fourth bytes to drop
        ASSERT_TRUE(ReadDibBlock(s.image, dib.data(), dib.size()));
        ASSERT_TRUE(SaveBmp(s.image, name.c_str()));
        const Bytes want = MakeBmp(w, 2, 0);
        EXPECT_EQ(ReadFileBytes(name), want) << w;
        EXPECT_EQ(DibOf(s.image), Bytes(want.begin() + 14, want.end())) << w;
        EXPECT_EQ(std::distance(fs::directory_iterator(saves.root), {}), 1);
    }
    for (const auto& [small, fields] :
         {std::pair{MakeBmp(3, 2), std::vector<size_t>{10, 18, 22, 28}},
          {MakeDib(3, 2, 32), {0, 4, 8, 14, 16, 32}}}) {
        for (size_t length = 0; length < small.size(); ++length)
            EXPECT_EQ(Mismatch(Bytes(small.begin(), small.begin() + length), path), "");
        for (size_t at : fields)
            for (uint32_t value : {0u, 1u, 3u, 32u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
                Bytes b = small;
                PutLe32(b, at, value);
                EXPECT_EQ(Mismatch(b, path), "") << at << " = " << value;
            }
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
    // Nor does a load take a small picture from a file past 2 GiB.
    ASSERT_TRUE(WriteFileBytes(path, MakeBmp(1, 1)));
    std::error_code refused;
    fs::resize_file(path, uint64_t{kMaxBmpInput} + 1, refused);
    if (refused)
        GTEST_SKIP() << "no sparse file past 2 GiB here: " << refused.message();
    const Picture before = Capture(s.image);
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error));
    EXPECT_EQ(error, BmpError::kTooLarge);
    EXPECT_EQ(Capture(s.image), before);
}
