// The platform under the core: its blocks, a heap that refuses, storage that fails mid-save.
#include <gtest/gtest.h>

#include <cstring>

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

// Sizes on both sides of where the kind of block changes and of a 2 MiB page; the front of each
// block is handed back, up to and past its end, and the rest must stay.
TEST(PlatformTest, BlocksAreZeroWholeAndKeepWhatIsNotDiscarded) {
    const size_t MiB = size_t{1} << 20;
    for (size_t size : {size_t{1}, 4 * MiB - 1, 4 * MiB, 6 * MiB - 88, 6 * MiB - 87})
        for (size_t discarded : {size_t{0}, 2 * MiB, 3 * MiB + 5, size, SIZE_MAX}) {
            auto* p = static_cast<uint8_t*>(AllocZeroed(int32_t(size)));
            ASSERT_TRUE(p != nullptr && (p[0] | p[size - 1]) == 0);
            std::memset(p, 0xC3, size);
            PlatformDiscard(p, discarded);
            for (size_t i = discarded; i < size; i += 4093)
                ASSERT_EQ(p[i], 0xC3) << size << " discarded " << discarded << " at " << i;
            EXPECT_TRUE(discarded >= size || p[size - 1] == 0xC3);
            FreeBlock(p);  // aborts when the block's record did not survive
        }
}

// The new block is asked for before the old one goes: a heap that refuses must not cost the
// picture. Sanitizers reserve far more address space than any cap, so they cannot run it.
#if !defined(_WIN32) && !defined(VELMORA_SANITIZED)
TEST(PlatformTest, CreateWhoseAllocationFailsKeepsThePicture) {
    ScopedImage s;
    Scramble(s.image, 1);
    const Picture before = Capture(s.image);
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    const rlimit capped{rlim_t{768} << 20, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
    const bool created = s.image.Create(16384, 16384);  // a 1 GiB block
    setrlimit(RLIMIT_AS, &old);
    EXPECT_FALSE(created);
    EXPECT_TRUE(Capture(s.image) == before);
}
#endif

// Saves of the 49206-byte black image over a 2 x 2 file, each with a fault in the way: the old
// file must stay as it was with nothing beside it, and a refusal the user can act on be named.
TEST(PlatformTest, FailedSavesKeepTheEarlierFile) {
    ScopedImage s;
    const SystemReason none = {}, denied = SystemReason::kDenied;
    for (int fault = 0; fault < 6; ++fault) {
        ScratchDir dir;
        const std::string target = dir.Path("p.bmp");
        ASSERT_TRUE(WriteFileBytes(target, MakeBmp(2, 2)));
        BmpError error = BmpError::kNone;
        SystemReason reason = none;
        bool saved = false;
#ifdef _WIN32
        const SystemReason in = SystemReason::kInUse, want[6] = {in, in, denied, none, none, none};
        if (fault == 3 || fault == 4)
            continue;
        // Held open by a reader that shares nothing, one that lets others read; read-only.
        if (fault < 2) {
            HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, fault ? FILE_SHARE_READ : 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            saved = SaveBmp(s.image, target.c_str(), &error, &reason);
            CloseHandle(h);
        } else if (fault == 2) {
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
            saved = SaveBmp(s.image, target.c_str(), &error, &reason);
            SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
#else
        const SystemReason want[6] = {none, none, none, denied, denied, none};
        // Cut off after nothing, after the headers, one byte short.
        if (fault < 3) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const rlimit capped{rlim_t(fault == 0 ? 0 : fault == 1 ? 54 : 49205), old.rlim_max};
            setrlimit(RLIMIT_FSIZE, &capped);
            saved = SaveBmp(s.image, target.c_str(), &error, &reason);
            setrlimit(RLIMIT_FSIZE, &old);
        } else if (fault < 5) {
            // A read-only folder, then a read-only file. Root ignores permission bits, so the
            // save runs as "nobody"; root's saved set-user-ID lets the test come back.
            chmod(dir.root.c_str(), fault == 3 ? 0555 : 0777);
            chmod(target.c_str(), fault == 3 ? 0666 : 0444);
            const bool root = geteuid() == 0;
            ASSERT_TRUE(!root || (setgroups(0, nullptr) | setresgid(65534, 65534, 0) |
                                  setresuid(65534, 65534, 0)) == 0);
            saved = SaveBmp(s.image, target.c_str(), &error, &reason);
            ASSERT_TRUE(!root || (setresuid(0, 0, 0) | setresgid(0, 0, 0)) == 0);
        }
#endif
        if (fault == 5) {  // a folder where the file should go
            fs::rename(target, dir.Path("q"));
            fs::create_directory(target);
            saved = SaveBmp(s.image, target.c_str(), &error, &reason);
            fs::remove(target);
            fs::rename(dir.Path("q"), target);
        }
        EXPECT_TRUE(!saved && error == BmpError::kCannotWrite) << fault;
        EXPECT_TRUE(reason == want[fault] || want[fault] == none) << fault << ": " << int(reason);
        EXPECT_TRUE(ReadFileBytes(target) == MakeBmp(2, 2)) << fault;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1) << fault;
    }
}
