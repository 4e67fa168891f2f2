// BMP files in and out. Every input goes through memory and through a real file, and both must
// reach the model's verdict and picture; a refusal leaves the image exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/support/test_files.h"

namespace {

void ExpectLikeModel(const Bytes& file, const std::string& path) {
    Picture want;
    const BmpError verdict = ModelBmp(file, &want);
    ASSERT_TRUE(WriteFileBytes(path, file));
    // A block of exactly the file's length, so the sanitizers see a read past its end.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + 1]);
    std::copy(file.begin(), file.end(), exact.get());
    for (bool viaFile : {false, true}) {
        ScopedImage s;
        const Picture before = Capture(s.image);
        BmpError error = BmpError::kCannotWrite;
        const bool loaded = viaFile ? LoadBmp(s.image, path.c_str(), &error)
                                    : DecodeBmp(s.image, exact.get(), file.size(), &error);
        EXPECT_EQ(error, verdict) << (viaFile ? "file, " : "memory, ") << file.size() << " bytes";
        EXPECT_TRUE(Capture(s.image) == (loaded ? want : before) && loaded == !int(verdict));
    }
}

}  // namespace

// Widths through the vector tails, every truncation, each field at hostile values; the 13.5 MB
// file is loaded in bands, each given back once done.
TEST(CodecTest, LoadsWhatTheModelAcceptsAndNothingElse) {
    ScratchDir dir;
    const std::string path = dir.Path("in.bmp");
    for (int32_t width : {1, 2, 3, 4, 5, 15, 16, 17})
        ExpectLikeModel(MakeBmp(width, 3), path);
    const Bytes small = MakeBmp(3, 2);
    for (size_t length = 0; length < small.size(); ++length)
        ExpectLikeModel(Bytes(small.begin(), small.begin() + length), path);
    for (size_t at : {10, 18, 22, 28})
        for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
            Bytes file = small;
            PutLe32(file, at, value);
            ExpectLikeModel(file, path);
        }
    ExpectLikeModel(MakeBmp(1501, 3000), path);
    ScopedImage s;
    BmpError error = BmpError::kNone;
    EXPECT_FALSE(LoadBmp(s.image, dir.root.c_str(), &error) || LoadBmp(s.image, nullptr));
    EXPECT_EQ(error, BmpError::kCannotOpen);
    std::filesystem::resize_file(path, uint64_t{1} << 31);  // sparse: no disk space
    EXPECT_FALSE(LoadBmp(s.image, path.c_str(), &error));
    EXPECT_EQ(error, BmpError::kTooLarge);
    EXPECT_TRUE(Capture(s.image) == Blank(128, 128));
}

// The saved file is MakeBmp's layout exactly with zero fill; the fourth bytes are dropped. Each
// save replaces a longer file and leaves nothing else beside it, even under the longest name the
// system takes (a relative one) or, on Windows, the longest whole path.
TEST(CodecTest, SavesTheFixedLayoutOverAnOldFile) {
#ifdef _WIN32
    const size_t longest[2] = {250, 259};
#else
    const size_t longest[2] = {255, 0};
#endif
    const auto cwd = std::filesystem::current_path();
    for (bool whole : {false, true}) {
        ScratchDir dir;
        std::filesystem::current_path(dir.root);
        const size_t length = whole ? longest[1] - dir.root.size() - 1 : longest[0];
        const std::string name = std::string(length - 4, 'n') + ".bmp";
        for (auto [width, height] : {std::pair{1501, 3000}, {17, 2}, {16, 2}, {5, 3}, {3, 1}}) {
            ScopedImage s;
            ASSERT_TRUE(s.image.Create(width, height));
            Scramble(s.image, 0);
            FillPattern(s.image);
            ASSERT_TRUE(SaveBmp(s.image, (whole ? dir.Path(name) : name).c_str())) << whole;
            EXPECT_TRUE(ReadFileBytes(name) == MakeBmp(width, height, 0)) << width;
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root), {}), 1);
        }
        std::filesystem::current_path(cwd);
        if (!longest[1])
            break;
    }
}
