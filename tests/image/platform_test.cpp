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

// What stands in a save's way.
enum class Obstacle {
    kSizeLimit,         // the file may grow only so far
    kReadOnlyFolder,    // no new name may be made beside the target
    kReadOnlyFile,      // the target may not be replaced
    kStickyFolder,      // the target belongs to another user, so only the final rename fails
    kFolderInItsPlace,  // the target is a folder
    kOpenSharingNothing,
    kOpenSharingReading,
};

struct SaveFault {
    const char* name;
    Obstacle obstacle;
    size_t sizeLimit;     // for kSizeLimit
    SystemReason reason;  // what the failure must name; kNone: anything
};

static bool Save(const PixelImage& image, const std::string& target, SystemReason* reason) {
    BmpError error = BmpError::kNone;
    return SaveBmp(image, target.c_str(), &error, reason) || error != BmpError::kCannotWrite;
}

#ifdef _WIN32
const SaveFault kSaveFaults[] = {
    {"held by a reader that shares nothing", Obstacle::kOpenSharingNothing, 0,
     SystemReason::kInUse},
    {"held by a reader that lets others read", Obstacle::kOpenSharingReading, 0,
     SystemReason::kInUse},
    {"a read-only file", Obstacle::kReadOnlyFile, 0, SystemReason::kDenied},
    {"a folder in the file's place", Obstacle::kFolderInItsPlace, 0, SystemReason::kNone},
};

static bool CanArrange(const SaveFault&) {
    return true;
}

// Saves the image past the obstacle; true when the save did not fail as it should.
static bool SaveAgainst(const SaveFault& fault, const ScratchDir&, const PixelImage& image,
                        const std::string& target, SystemReason* reason) {
    if (fault.obstacle == Obstacle::kReadOnlyFile) {
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
        const bool saved = Save(image, target, reason);
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        return saved;
    }
    const DWORD share = fault.obstacle == Obstacle::kOpenSharingReading ? FILE_SHARE_READ : 0;
    HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool saved = Save(image, target, reason);
    CloseHandle(h);
    return saved;
}
#else
const SaveFault kSaveFaults[] = {
    {"cut off after nothing", Obstacle::kSizeLimit, 0, SystemReason::kNone},
    {"cut off after the headers", Obstacle::kSizeLimit, 54, SystemReason::kNone},
    {"cut off one byte short", Obstacle::kSizeLimit, 49205, SystemReason::kNone},
    {"a read-only folder", Obstacle::kReadOnlyFolder, 0, SystemReason::kDenied},
    {"a read-only file", Obstacle::kReadOnlyFile, 0, SystemReason::kDenied},
    {"another user's file in a sticky folder", Obstacle::kStickyFolder, 0, SystemReason::kDenied},
    {"a folder in the file's place", Obstacle::kFolderInItsPlace, 0, SystemReason::kNone},
};

// Only root can leave a file of another user to try the sticky folder on.
static bool CanArrange(const SaveFault& fault) {
    return fault.obstacle != Obstacle::kStickyFolder || geteuid() == 0;
}

// Root ignores permission bits, so a save against them runs as "nobody"; root's saved
// set-user-ID lets the test come back.
static bool SaveAsNobody(const PixelImage& image, const std::string& target, SystemReason* reason) {
    const bool root = geteuid() == 0;
    EXPECT_TRUE(!root || setgroups(0, nullptr) == 0);
    EXPECT_TRUE(!root || setresgid(65534, 65534, 0) == 0);
    EXPECT_TRUE(!root || setresuid(65534, 65534, 0) == 0);
    const bool saved = Save(image, target, reason);
    EXPECT_TRUE(!root || setresuid(0, 0, 0) == 0);
    EXPECT_TRUE(!root || setresgid(0, 0, 0) == 0);
    return saved;
}

static bool SaveAgainst(const SaveFault& fault, const ScratchDir& dir, const PixelImage& image,
                        const std::string& target, SystemReason* reason) {
    if (fault.obstacle == Obstacle::kSizeLimit) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit capped{rlim_t(fault.sizeLimit), old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &capped);
        const bool saved = Save(image, target, reason);
        setrlimit(RLIMIT_FSIZE, &old);
        return saved;
    }
    const bool readOnlyFolder = fault.obstacle == Obstacle::kReadOnlyFolder;
    const bool sticky = fault.obstacle == Obstacle::kStickyFolder;
    chmod(dir.root.c_str(), readOnlyFolder ? 0555 : sticky ? 01777 : 0777);
    chmod(target.c_str(), fault.obstacle == Obstacle::kReadOnlyFile ? 0444 : 0666);
    return SaveAsNobody(image, target, reason);
}
#endif

// Saves of the 49206-byte black image over a 2 x 2 file, each with a fault in the way: the old
// file must stay as it was with nothing beside it, and a refusal the user can act on be named.
TEST(PlatformTest, FailedSavesKeepTheEarlierFile) {
    ScopedImage s;
    for (const SaveFault& fault : kSaveFaults) {
        SCOPED_TRACE(fault.name);
        if (!CanArrange(fault))
            continue;
        ScratchDir dir;
        const std::string target = dir.Path("p.bmp");
        ASSERT_TRUE(WriteFileBytes(target, MakeBmp(2, 2)));
        SystemReason reason = SystemReason::kNone;
        bool saved = false;
        if (fault.obstacle == Obstacle::kFolderInItsPlace) {
            fs::rename(target, dir.Path("q"));
            fs::create_directory(target);
            saved = Save(s.image, target, &reason);
            fs::remove(target);
            fs::rename(dir.Path("q"), target);
        } else {
            saved = SaveAgainst(fault, dir, s.image, target, &reason);
        }
        EXPECT_FALSE(saved);
        EXPECT_TRUE(fault.reason == SystemReason::kNone || reason == fault.reason) << int(reason);
        EXPECT_TRUE(ReadFileBytes(target) == MakeBmp(2, 2));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);
    }
}
