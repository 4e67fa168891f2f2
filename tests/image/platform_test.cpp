#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "image/platform.h"
#include "tests/support/bmp_builders.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
enum class Hold { kOpen, kReadOnly };
struct SaveFault {
    const char* name;
    Hold hold;
    SystemReason reason;  // what the failure must name
};
static std::vector<SaveFault> SaveFaults() {
    return {{"held open by a reader", Hold::kOpen, SystemReason::kInUse},
            {"a read-only file", Hold::kReadOnly, SystemReason::kDenied}};
}

static bool SaveStopped(const SaveFault& fault, const ScratchDir&, const PixelImage& image,
                        const std::string& target, SystemReason* reason) {
    HANDLE h = nullptr;
    if (fault.hold == Hold::kReadOnly)
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    else
        h = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    BmpError error = BmpError::kNone;
    const bool saved = SaveBmp(image, target.c_str(), &error, reason);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (h != nullptr)
        CloseHandle(h);
    return !saved && error == BmpError::kCannotWrite;
}
#else
struct SaveFault {
    const char* name;
    rlim_t sizeLimit;  // how far the new file may grow
    mode_t folderMode;
    mode_t fileMode;
    SystemReason reason;  // what the failure must name
};
// In a sticky folder only the rename fails, the old file being root's.
static std::vector<SaveFault> SaveFaults() {
    std::vector<SaveFault> faults{
        {"cut off after the headers", 54, 0777, 0666, SystemReason::kNone},
        {"cut off one byte short", 49205, 0777, 0666, SystemReason::kNone},
        {"a read-only folder", RLIM_INFINITY, 0555, 0666, SystemReason::kDenied},
        {"a read-only file", RLIM_INFINITY, 0777, 0444, SystemReason::kDenied}};
    if (geteuid() == 0)
        faults.push_back({"a sticky folder", RLIM_INFINITY, 01777, 0666, SystemReason::kDenied});
    return faults;
}

// Root ignores permission bits: the save runs as "nobody", then the saved ID returns.
static bool SaveStopped(const SaveFault& fault, const ScratchDir& dir, const PixelImage& image,
                        const std::string& target, SystemReason* reason) {
    const bool root = geteuid() == 0;
    chmod(dir.root.c_str(), fault.folderMode);
    chmod(target.c_str(), fault.fileMode);
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit capped{fault.sizeLimit, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &capped);
    if (root) {
        EXPECT_EQ(setgroups(0, nullptr), 0);
        EXPECT_EQ(setresgid(65534, 65534, 0), 0);
        EXPECT_EQ(setresuid(65534, 65534, 0), 0);
    }
    BmpError error = BmpError::kNone;
    const bool saved = SaveBmp(image, target.c_str(), &error, reason);
    if (root) {
        EXPECT_EQ(setresuid(0, 0, 0), 0);
        EXPECT_EQ(setresgid(0, 0, 0), 0);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    return !saved && error == BmpError::kCannotWrite;
}
#endif

// The old file stays, with nothing beside it; a refusal the user can act on is named.
TEST(PlatformTest, FailedSavesKeepTheEarlierFile) {
    ScopedImage s;
    for (const SaveFault& fault : SaveFaults()) {
        SCOPED_TRACE(fault.name);
        ScratchDir dir;
        const std::string target = dir.Path("p.bmp");
        ASSERT_TRUE(WriteFileBytes(target, MakeBmp(2, 2)));
        SystemReason reason = SystemReason::kNone;
        EXPECT_TRUE(SaveStopped(fault, dir, s.image, target, &reason));
        EXPECT_EQ(int(reason), int(fault.reason));
        EXPECT_EQ(ReadFileBytes(target), MakeBmp(2, 2));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);
    }
}
