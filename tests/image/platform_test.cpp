// The platform under the core: its two kinds of block, a heap that refuses, and storage that
// fails part-way through a save. A failed save must keep the earlier file byte for byte and leave
// no temporary file beside it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "image/platform.h"
#include "tests/support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
#define VELMORA_NO_HEAP_CAP 1  // the sanitizer reserves far more than any cap
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_NO_HEAP_CAP 1
#endif
#endif

// Sizes on both sides of where the kind of block changes and of a 2 MiB page; the front of each
// block is handed back up to and past its end, and what follows must stay.
TEST(PlatformTest, BlocksAreZeroWholeAndKeepWhatIsNotDiscarded) {
    const size_t MiB = size_t{1} << 20;
    for (size_t size : {size_t{1}, 4 * MiB - 1, 4 * MiB, 6 * MiB - 88, 6 * MiB - 87}) {
        for (size_t discarded : {size_t{0}, size_t{1}, 2 * MiB, 3 * MiB + 5, size, SIZE_MAX}) {
            auto* p = static_cast<uint8_t*>(AllocZeroed(int32_t(size)));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[0] | p[size / 2] | p[size - 1], 0);
            std::memset(p, 0xC3, size);
            PlatformDiscard(p, discarded);
            for (size_t i = discarded; i < size; i += 4093) {
                ASSERT_EQ(p[i], 0xC3) << size << " discarded " << discarded << " at " << i;
            }
            ASSERT_EQ(p[size - 1], discarded < size ? 0xC3 : p[size - 1]);
            FreeBlock(p);  // aborts when the block's record did not survive
        }
    }
    EXPECT_EQ(AllocZeroed(0), nullptr);
}

// The new block is asked for before the old one goes: the heap refusing must not cost the picture.
TEST(PlatformTest, CreateWhoseAllocationFailsKeepsThePicture) {
#ifdef VELMORA_NO_HEAP_CAP
    GTEST_SKIP() << "no way to make the heap refuse here";
#else
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(7, 3));
    Scramble(s.image, 1);
    const Picture before = Capture(s.image);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    rlimit capped = old;
    capped.rlim_cur = rlim_t{768} << 20;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    const bool created = s.image.Create(16384, 16384);  // a 1 GiB block, past the cap
    setrlimit(RLIMIT_AS, &old);
    EXPECT_FALSE(created);
    EXPECT_TRUE(Capture(s.image) == before);
#endif
}

namespace {

// Saves over a 2 x 2 file while `fault` holds, then checks that the save failed and the file and
// folder are as they were. The fault returns what undoes it.
void ExpectSaveKeepsOldFile(
    const char* name,
    const std::function<std::function<void()>(const std::string& folder, const std::string& file)>&
        fault) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    const std::string folder = dir.Path("f"), target = dir.Path("f/picture.bmp");
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(WriteFileBytes(target, MakeBmp(2, 2)));
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(20, 20));
    const std::function<void()> undo = fault(folder, target);
    BmpError error = BmpError::kNone;
    const bool saved = SaveBmp(s.image, target.c_str(), &error);
    undo();
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, BmpError::kCannotWrite);
    EXPECT_TRUE(ReadFileBytes(target) == MakeBmp(2, 2));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "stray file";
}

}  // namespace

TEST(PlatformTest, FailedSavesKeepTheEarlierFile) {
#ifdef _WIN32
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        ExpectSaveKeepsOldFile("held open", [share](const std::string&, const std::string& file) {
            HANDLE h =
                CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
            return [h] { CloseHandle(h); };
        });
    }
    ExpectSaveKeepsOldFile("read-only", [](const std::string&, const std::string& file) {
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        return [file] { SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL); };
    });
#else
    // Cut off after 0 bytes, after the headers, one byte short of the 1254-byte file.
    for (rlim_t limit : {0, 54, 1253}) {
        ExpectSaveKeepsOldFile("cut off", [limit](const std::string&, const std::string&) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit capped{limit, old.rlim_max};
            setrlimit(RLIMIT_FSIZE, &capped);
            return [old] { setrlimit(RLIMIT_FSIZE, &old); };
        });
    }
    // Root ignores permission bits, so the save runs as "nobody"; the saved set-user-ID of root
    // lets the test come back.
    for (mode_t folderMode : {0555, 0777}) {
        ExpectSaveKeepsOldFile(
            "read-only", [folderMode](const std::string& folder, const std::string& file) {
                chmod(file.c_str(), folderMode == 0777 ? 0444 : 0666);
                chmod(folder.c_str(), folderMode);
                const bool root = geteuid() == 0;
                if (root) {
                    EXPECT_EQ(setgroups(0, nullptr) | setresgid(65534, 65534, 0) |
                                  setresuid(65534, 65534, 0),
                              0);
                }
                return [root, folder] {
                    if (root) {
                        EXPECT_EQ(setresuid(0, 0, 0) | setresgid(0, 0, 0), 0);
                    }
                    chmod(folder.c_str(), 0777);
                };
            });
    }
#endif
    ExpectSaveKeepsOldFile("no such folder", [](const std::string& folder, const std::string&) {
        std::filesystem::rename(folder + "/picture.bmp", folder + "/picture.bmp.d");
        std::filesystem::create_directory(folder + "/picture.bmp");
        return [folder] {
            std::filesystem::remove(folder + "/picture.bmp");
            std::filesystem::rename(folder + "/picture.bmp.d", folder + "/picture.bmp");
        };
    });
}
