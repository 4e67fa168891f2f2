#include <gtest/gtest.h>

#include "tests/support/codec_harness.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// Vector tails, truncations, hostile fields (rows inside the headers or short of the end), colour
// tables, from files and pipes, the 13.5 MB file in blocks. Saves at the length limit (a relative
// name of 255, or a whole path of 259 on Windows) lay out every fill length, nothing beside.
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
    ScopedImage large;  // saved past the 8 MiB slices a file goes out in
    const Bytes bmp = MakeBmp(1501, 3000, 0);
    ASSERT_TRUE(DecodeBmp(large.image, bmp.data(), bmp.size()));
    ASSERT_TRUE(SaveBmp(large.image, name.c_str()));
    EXPECT_EQ(ReadFileBytes(name), bmp);
    ScopedImage s;
    BmpError error = BmpError::kNone;
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

// The old file stays, with nothing beside it; a refusal the user can act on is named.
TEST(CodecTest, FailedSavesKeepTheEarlierFile) {
    struct SaveFault {
        const char* name;
        SystemReason reason;  // what the failure must name
#ifdef _WIN32
        bool readOnly;  // or else held open by a reader
#else
        rlim_t sizeLimit;  // how far the new file may grow
        mode_t folderMode;
        mode_t fileMode;
#endif
    };
#ifdef _WIN32
    std::vector<SaveFault> faults{{"held open by a reader", SystemReason::kInUse, false},
                                  {"a read-only file", SystemReason::kDenied, true}};
#else
    std::vector<SaveFault> faults{
        {"cut off one byte short", SystemReason::kNone, 49205, 0777, 0666},
        {"a read-only folder", SystemReason::kDenied, RLIM_INFINITY, 0555, 0666},
        {"a read-only file", SystemReason::kDenied, RLIM_INFINITY, 0777, 0444}};
    // Root ignores permission bits: each save runs as "nobody", then the saved ID returns. In a
    // sticky folder only the rename fails, the old file being root's.
    const bool root = geteuid() == 0;
    if (root)
        faults.push_back({"a sticky folder", SystemReason::kDenied, RLIM_INFINITY, 01777, 0666});
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
#endif
    ScopedImage s;
    for (const SaveFault& fault : faults) {
        SCOPED_TRACE(fault.name);
        ScratchDir dir;
        const std::string target = dir.Path("p.bmp");
        ASSERT_TRUE(WriteFileBytes(target, MakeBmp(2, 2)));
#ifdef _WIN32
        HANDLE held = nullptr;
        if (fault.readOnly)
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
        else
            held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
        chmod(dir.root.c_str(), fault.folderMode);
        chmod(target.c_str(), fault.fileMode);
        const rlimit capped{fault.sizeLimit, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &capped);
        if (root) {
            EXPECT_EQ(setresgid(65534, 65534, 0), 0);
            EXPECT_EQ(setresuid(65534, 65534, 0), 0);
        }
#endif
        BmpError error = BmpError::kNone;
        SystemReason reason = SystemReason::kNone;
        const bool saved = SaveBmp(s.image, target.c_str(), &error, &reason);
#ifdef _WIN32
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (held != nullptr)
            CloseHandle(held);
#else
        if (root) {
            EXPECT_EQ(setresuid(0, 0, 0), 0);
            EXPECT_EQ(setresgid(0, 0, 0), 0);
        }
        setrlimit(RLIMIT_FSIZE, &old);
#endif
        EXPECT_FALSE(saved);
        EXPECT_EQ(error, BmpError::kCannotWrite);
        EXPECT_EQ(int(reason), int(fault.reason));
        EXPECT_EQ(ReadFileBytes(target), MakeBmp(2, 2));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);
    }
}
