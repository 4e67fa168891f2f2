// Copy and paste through the seam: the system clipboard on Windows, elsewhere the in-process
// stand-in, whose faults can be made to happen.
#include <gtest/gtest.h>

#include "tests/support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "image/platform_clipboard.h"
#include "image/platform_clipboard_standin.h"
#endif

// Copy writes every byte of the block: 24 bits, bottom row first, zero fill, fourth bytes dropped.
TEST(ClipboardTest, CopyPublishesTheImageAsA24BitBlock) {
    for (int32_t width : {1, 2, 3, 4, 5}) {
        ScopedImage s, pasted;
        ASSERT_TRUE(s.image.Create(width, 2));
        Scramble(s.image, 4);
        FillPattern(s.image);
        Bytes block(DibBlockSize(s.image), 0xAB);
        WriteDibBlock(s.image, block.data());
        EXPECT_TRUE(block == MakeDib(width, 2, 24, 40, 0, 0)) << width;
        bool published = false;
        EXPECT_TRUE(CopyToClipboard(s.image, &published) && published);
        ASSERT_TRUE(PasteFromClipboard(pasted.image));
        for (int32_t i = 0; i < width * 2; ++i)
            s.image.RowPixels(0)[4 * i + 3] = 0;
        EXPECT_TRUE(Capture(pasted.image) == Capture(s.image));
    }
}

#ifdef _WIN32
// A screen bitmap reaches the block format only through the system's own conversion: 32 bits
// with colour masks after a 40-byte header. A copy also drops what the clipboard held.
TEST(ClipboardTest, PastesTheBlockTheSystemMakesFromAScreenBitmap) {
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    HGDIOBJ old = SelectObject(dc, bitmap);
    uint8_t rgb[3];
    for (int32_t i = 0; i < 6; ++i) {
        ColourAt(i % 3, i / 3, rgb);
        SetPixel(dc, i % 3, i / 3, RGB(rgb[0], rgb[1], rgb[2]));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && SetClipboardData(CF_BITMAP, bitmap));
    SetClipboardData(CF_TEXT, GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1));
    CloseClipboard();
    ScopedImage s, want;
    ASSERT_TRUE(PasteFromClipboard(s.image) && want.image.Create(3, 2));
    FillPattern(want.image);
    for (int32_t i = 0; i < 6; ++i)
        s.image.RowPixels(0)[4 * i + 3] = 0;  // whatever the system put there
    EXPECT_TRUE(Capture(s.image) == Capture(want.image));
    CopyToClipboard(s.image);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}
#else
// Each rare failure of the system clipboard: the copy publishes nothing and leaves no block, lock
// or open clipboard behind; the block there before still pastes unless the fault is in the way.
TEST(ClipboardTest, FaultsLeaveNoBlockLockOrOpenClipboard) {
    const struct {
        StandInFaults fault;
        bool readable;
        size_t live;  // blocks alive afterwards: a refused set comes after the clipboard emptied
    } cases[] = {{{true, false, false, false}, false, 1},
                 {{false, true, false, false}, true, 1},
                 {{false, false, true, false}, false, 1},
                 {{false, false, false, true}, false, 0}};
    for (const auto& [fault, readable, live] : cases) {
        StandInReset();
        ScopedImage earlier, later;
        ASSERT_TRUE(earlier.image.Create(3, 2));
        CopyToClipboard(earlier.image);
        StandInSetFaults(fault);
        bool published = true;
        EXPECT_TRUE(CopyToClipboard(later.image, &published) && !published);
        EXPECT_EQ(PasteFromClipboard(later.image), readable);
        EXPECT_EQ(later.image.GetWidth(), readable ? 3 : 128);
        EXPECT_EQ(StandInLiveBlocks(), live);
        EXPECT_EQ(StandInOutstandingLocks(), 0);
        EXPECT_FALSE(StandInIsOpen() || PlatformEmptyClipboard());  // nor emptied while closed
    }
    StandInReset();
}
#endif
