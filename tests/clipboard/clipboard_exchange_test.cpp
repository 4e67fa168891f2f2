// Copy and paste through the clipboard seam: the system clipboard on Windows, the in-process
// stand-in elsewhere. Blocks are placed and read back with the seam's own calls, so the same
// cases hold on both.
#include <gtest/gtest.h>

#include <cstring>

#include "image/clipboard_dib.h"
#include "image/platform_clipboard.h"
#include "tests/clipboard/dib_blocks.h"

#ifdef _WIN32
#include <windows.h>

#include <future>
#include <thread>
#else
#include "image/platform_clipboard_standin.h"
#endif

namespace {

// Puts the bytes on the clipboard as its bitmap block; no bytes leave it empty.
void PutOnClipboard(const Bytes& bytes) {
    ClipboardBlock block = nullptr;
    if (!bytes.empty()) {
        block = PlatformAllocMovable(bytes.size());
        uint8_t* p = block == nullptr ? nullptr : PlatformLockMovable(block);
        ASSERT_NE(p, nullptr);
        std::memcpy(p, bytes.data(), bytes.size());
        PlatformUnlockMovable(block);
    }
    ASSERT_TRUE(PlatformOpenClipboard());
    PlatformEmptyClipboard();
    const bool taken = block == nullptr || PlatformSetClipboardDib(block);
    PlatformCloseClipboard();
    ASSERT_TRUE(taken);
}

// Holds the clipboard open the way another program would, for as long as it lives. Opens with
// no owner window do not exclude one another, so on Windows it opens with a window of its own,
// on a thread of its own.
class ClipboardHeldElsewhere {
  public:
    ClipboardHeldElsewhere() {
#ifdef _WIN32
        std::promise<bool> opened;
        std::future<bool> result = opened.get_future();
        holder = std::thread([this, &opened] {
            HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         nullptr, nullptr);
            const bool opens = OpenClipboard(owner) != 0;
            opened.set_value(opens);
            release.get_future().wait();
            if (opens) {
                CloseClipboard();
            }
            DestroyWindow(owner);
        });
        held = result.get();
#else
        StandInFaults faults;
        faults.heldElsewhere = true;
        StandInSetFaults(faults);
        held = true;
#endif
    }
    ~ClipboardHeldElsewhere() {
#ifdef _WIN32
        release.set_value();
        holder.join();
#else
        StandInSetFaults(StandInFaults());
#endif
    }
    bool held = false;

#ifdef _WIN32
  private:
    std::promise<void> release;
    std::thread holder;
#endif
};

// Whether another program could open the clipboard now and, where locks are counted, none is
// left over. Lock balance is the shared paste and copy code's, so the stand-in build's count
// covers Windows too (Wine never counts them).
::testing::AssertionResult ClipboardReleased() {
#ifdef _WIN32
    ClipboardHeldElsewhere other;
    if (!other.held) {
        return ::testing::AssertionFailure() << "clipboard still open";
    }
#else
    if (StandInIsOpen()) {
        return ::testing::AssertionFailure() << "clipboard still open";
    }
    if (StandInOutstandingLocks() != 0) {
        return ::testing::AssertionFailure() << StandInOutstandingLocks() << " locks left";
    }
#endif
    return ::testing::AssertionSuccess();
}

TEST(ClipboardExchange, CopyThenPasteGivesBackTheColours) {
    ScopedImage source;
    ASSERT_TRUE(source.image.Create(5, 3));
    FillPattern(source.image);
    MarkFourthBytes(source.image);  // they do not travel
    bool published = false;
    EXPECT_TRUE(CopyToClipboard(source.image, &published));
    EXPECT_TRUE(published);
    EXPECT_TRUE(ClipboardReleased());
    ScopedImage target;
    ASSERT_TRUE(PasteFromClipboard(target.image));
    EXPECT_TRUE(ClipboardReleased());
    EXPECT_TRUE(HoldsPattern(target.image, 5, 3, Fourth::kZero));
}

// A copy of an empty image, an unusable block, or none at all: refused, the image untouched,
// the clipboard let go.
TEST(ClipboardExchange, UnusableOrEmptyClipboardIsRefusedAndReleased) {
    Bytes shortBlock = MakeDib({3, 2, 24});
    shortBlock.resize(63);
    const Bytes candidates[] = {MakeDib({2, 2, 16}), MakeDib({2, -2, 24}), shortBlock, Bytes()};
    for (size_t i = 0; i <= 4; ++i) {
        if (i < 4) {
            PutOnClipboard(candidates[i]);
        } else {
            ScopedImage empty;
            empty.image.Release();
            bool published = false;
            CopyToClipboard(empty.image, &published);
            EXPECT_TRUE(published);
        }
        ScopedImage s;
        PrepareTarget(s.image);
        const ImageSnapshot before = Snapshot(s.image);
        EXPECT_FALSE(PasteFromClipboard(s.image)) << "case " << i;
        EXPECT_TRUE(Snapshot(s.image) == before) << "case " << i;
        EXPECT_TRUE(ClipboardReleased()) << "case " << i;
    }
}

TEST(ClipboardExchange, BusyClipboardRefusesPasteAndKeepsCopyFromWriting) {
    PutOnClipboard(MakeDib({2, 2, 32}));
    ScopedImage s;
    PrepareTarget(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    {
        ClipboardHeldElsewhere other;
        ASSERT_TRUE(other.held);
        EXPECT_FALSE(PasteFromClipboard(s.image));
        EXPECT_TRUE(Snapshot(s.image) == before);
        bool published = true;
        EXPECT_TRUE(CopyToClipboard(s.image, &published));  // true whatever happened
        EXPECT_FALSE(published);
    }
    // The earlier block is still there and pastes, its fourth bytes with it.
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 2, 2, Fourth::kPattern));
    EXPECT_TRUE(ClipboardReleased());
}

}  // namespace
