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

#include <condition_variable>
#include <mutex>
#include <thread>
#else
#include "image/platform_clipboard_standin.h"
#endif

namespace {

void PutOnClipboard(const Bytes& bytes) {
    ClipboardBlock block = PlatformAllocMovable(bytes.size());
    ASSERT_NE(block, nullptr);
    uint8_t* p = PlatformLockMovable(block);
    ASSERT_NE(p, nullptr);
    std::memcpy(p, bytes.data(), bytes.size());
    PlatformUnlockMovable(block);
    ASSERT_TRUE(PlatformOpenClipboard());
    PlatformEmptyClipboard();
    const bool taken = PlatformSetClipboardDib(block);
    PlatformCloseClipboard();
    if (!taken) {
        PlatformFreeMovable(block);
    }
    ASSERT_TRUE(taken);
}

void ClearClipboard() {
    ASSERT_TRUE(PlatformOpenClipboard());
    PlatformEmptyClipboard();
    PlatformCloseClipboard();
}

// The clipboard's bitmap block as the seam reports it; empty when there is none.
Bytes ClipboardBytes() {
    Bytes bytes;
    if (!PlatformOpenClipboard()) {
        ADD_FAILURE() << "clipboard left open or busy";
        return bytes;
    }
    ClipboardBlock block = PlatformGetClipboardDib();
    const size_t size = block == nullptr ? 0 : PlatformMovableSize(block);
    const uint8_t* p = size == 0 ? nullptr : PlatformLockMovable(block);
    if (p != nullptr) {
        bytes.assign(p, p + size);
        PlatformUnlockMovable(block);
    }
    PlatformCloseClipboard();
    return bytes;
}

#ifdef _WIN32
// Opens with no owner window do not exclude one another, so "another program" opens the
// clipboard with a window of its own, on a thread of its own.
HWND MakeOwnerWindow() {
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}
#endif

// Whether another thread (another program, as far as the clipboard knows) could open it now,
// and no lock on the clipboard's block is left over.
::testing::AssertionResult ClipboardReleased() {
#ifdef _WIN32
    bool opened = false;
    std::thread other([&opened] {
        HWND owner = MakeOwnerWindow();
        opened = OpenClipboard(owner) != 0;
        if (opened) {
            CloseClipboard();
        }
        DestroyWindow(owner);
    });
    other.join();
    if (!opened) {
        return ::testing::AssertionFailure() << "clipboard still open";
    }
    // Wine hands out the clipboard's data as fixed memory, whose lock count is always 0, so this
    // half of the check bites only on Windows itself; the stand-in build counts locks natively.
    if (OpenClipboard(nullptr)) {
        HANDLE h = GetClipboardData(CF_DIB);
        const UINT locks = h == nullptr ? 0 : (GlobalFlags(h) & GMEM_LOCKCOUNT);
        CloseClipboard();
        if (locks != 0) {
            return ::testing::AssertionFailure() << locks << " locks left on the block";
        }
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

// Holds the clipboard open the way another program would, for as long as it lives.
class ClipboardHeldElsewhere {
  public:
    ClipboardHeldElsewhere() {
#ifdef _WIN32
        holder = std::thread([this] {
            HWND owner = MakeOwnerWindow();
            const bool opened = OpenClipboard(owner) != 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                state = opened ? kHeld : kFailed;
            }
            changed.notify_all();
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return state == kRelease; });
            if (opened) {
                CloseClipboard();
            }
            DestroyWindow(owner);
        });
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return state != kStarting; });
        held = state == kHeld;
#else
        StandInFaults faults;
        faults.heldElsewhere = true;
        StandInSetFaults(faults);
        held = true;
#endif
    }
    ~ClipboardHeldElsewhere() {
#ifdef _WIN32
        {
            std::unique_lock<std::mutex> lock(mutex);
            state = kRelease;
        }
        changed.notify_all();
        holder.join();
#else
        StandInSetFaults(StandInFaults());
#endif
    }
    bool held = false;

#ifdef _WIN32
  private:
    enum State { kStarting, kHeld, kFailed, kRelease };
    std::mutex mutex;
    std::condition_variable changed;
    State state = kStarting;
    std::thread holder;
#endif
};

void Prepare(PixelImage& image) {
    ASSERT_TRUE(image.Create(4, 4));
    FillPattern(image);
}

TEST(ClipboardExchange, CopyThenPasteGivesBackTheColours) {
    ScopedImage source;
    ASSERT_TRUE(source.image.Create(5, 3));
    FillPattern(source.image);
    source.image.RowPixels(1)[3] = 0x42;  // fourth bytes do not travel
    bool published = false;
    EXPECT_TRUE(CopyToClipboard(source.image, &published));
    EXPECT_TRUE(published);
    EXPECT_TRUE(ClipboardReleased());

    ScopedImage target;
    ASSERT_TRUE(PasteFromClipboard(target.image));
    EXPECT_TRUE(ClipboardReleased());
    ASSERT_EQ(target.image.GetWidth(), 5);
    ASSERT_EQ(target.image.GetHeight(), 3);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(target.image.GetRed(x, y), source.image.GetRed(x, y));
            EXPECT_EQ(target.image.GetGreen(x, y), source.image.GetGreen(x, y));
            EXPECT_EQ(target.image.GetBlue(x, y), source.image.GetBlue(x, y));
            EXPECT_EQ(target.image.RowPixels(y)[x * 4 + 3], 0);
        }
    }
}

TEST(ClipboardExchange, CopyPublishesExactlyTheWrittenBlock) {
    ScopedImage source;
    ASSERT_TRUE(source.image.Create(5, 3));
    FillPattern(source.image);
    CopyToClipboard(source.image);
    Bytes expected(DibBlockSize(source.image));
    ASSERT_EQ(expected.size(), 40u + 16u * 3u);
    WriteDibBlock(source.image, expected.data());
    const Bytes onClipboard = ClipboardBytes();
    // The clipboard may round its block up; the bytes that matter are the written ones.
    ASSERT_GE(onClipboard.size(), expected.size());
    EXPECT_EQ(Bytes(onClipboard.begin(), onClipboard.begin() + expected.size()), expected);
}

TEST(ClipboardExchange, CopyOfAnEmptyImagePublishesTheHeaderAlone) {
    ScopedImage source;
    source.image.Release();
    bool published = false;
    CopyToClipboard(source.image, &published);
    EXPECT_TRUE(published);
    const Bytes onClipboard = ClipboardBytes();
    ASSERT_GE(onClipboard.size(), 40u);
    EXPECT_EQ(GetLe32(onClipboard, 0), 40u);
    EXPECT_EQ(GetLe32(onClipboard, 4), 0u);
    EXPECT_EQ(GetLe32(onClipboard, 8), 0u);
    ScopedImage target;
    Prepare(target.image);
    const Bytes before = ImageBytes(target.image);
    EXPECT_FALSE(PasteFromClipboard(target.image));
    EXPECT_EQ(ImageBytes(target.image), before);
}

TEST(ClipboardExchange, PastesPlacedBlocksOfBothDepths) {
    const DibLayout layouts[] = {{3, 2, 24}, {2, 2, 32}, {3, 2, 32, 40, 3, true}, {3, 4, 24, 124}};
    for (const DibLayout& layout : layouts) {
        PutOnClipboard(MakeDib(layout));
        ScopedImage s;
        Prepare(s.image);
        ASSERT_TRUE(PasteFromClipboard(s.image)) << layout.width << "x" << layout.height;
        EXPECT_TRUE(HoldsPattern(s.image, layout.width, layout.height, layout.bitsPerPixel == 32));
        EXPECT_TRUE(ClipboardReleased());
    }
}

TEST(ClipboardExchange, UnusableClipboardIsRefusedAndReleased) {
    Bytes shortBlock = MakeDib({3, 2, 24});
    shortBlock.resize(63);
    Bytes tiny = MakeDib({3, 2, 24});
    tiny.resize(39);
    const Bytes candidates[] = {MakeDib({2, 2, 16}), MakeDib({4, 2, 8}), MakeDib({2, -2, 24}),
                                shortBlock, tiny};
    for (const Bytes& block : candidates) {
        PutOnClipboard(block);
        ScopedImage s;
        Prepare(s.image);
        const Bytes before = ImageBytes(s.image);
        EXPECT_FALSE(PasteFromClipboard(s.image)) << block.size() << " bytes";
        EXPECT_EQ(ImageBytes(s.image), before);
        EXPECT_TRUE(ClipboardReleased());
    }
}

TEST(ClipboardExchange, EmptyClipboardRefusesAndKeepsTheImage) {
    ClearClipboard();
    ScopedImage s;
    Prepare(s.image);
    const Bytes before = ImageBytes(s.image);
    EXPECT_FALSE(PasteFromClipboard(s.image));
    EXPECT_EQ(ImageBytes(s.image), before);
    EXPECT_TRUE(ClipboardReleased());
}

TEST(ClipboardExchange, BusyClipboardRefusesPasteAndKeepsCopyFromWriting) {
    PutOnClipboard(MakeDib({3, 2, 24}));
    ScopedImage s;
    Prepare(s.image);
    const Bytes before = ImageBytes(s.image);
    {
        ClipboardHeldElsewhere other;
        ASSERT_TRUE(other.held);
        EXPECT_FALSE(PasteFromClipboard(s.image));
        EXPECT_EQ(ImageBytes(s.image), before);
        bool published = true;
        EXPECT_TRUE(CopyToClipboard(s.image, &published));  // true whatever happened
        EXPECT_FALSE(published);
    }
    // The earlier block is still there and still pastes.
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 3, 2, false));
}

}  // namespace
