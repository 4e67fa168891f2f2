#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "tests/support/bmp_builders.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The old file stays, with nothing beside it; a refusal the user can act on is named.
TEST(PlatformTest, FailedSavesKeepTheEarlierFile) {
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
