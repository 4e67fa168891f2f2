#include <gtest/gtest.h>

#include "tests/support/codec_harness.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "tests/support/clipboard_standin.h"
#endif

// The block's own layout is held by the save sweep; here, that a paste gets back what a copy
// published, the fourth bytes dropped.
TEST(ClipboardTest, CopyPublishesWhatPasteReads) {
    ScopedImage s;
    ScopedImage pasted;
    const Bytes dib = MakeDib(5, 2, 32);
    ASSERT_TRUE(ReadDibBlock(s.image, dib.data(), dib.size()));
    bool published = false;
    CopyToClipboard(s.image, &published);
    EXPECT_TRUE(published);
    ASSERT_TRUE(PasteFromClipboard(pasted.image));
    EXPECT_EQ(DibOf(pasted.image), MakeDib(5, 2, 24, 40, 0, 0));
}

#ifdef _WIN32
// The system's block from a screen bitmap: 32 bits, masks after the header.
TEST(ClipboardTest, PastesTheBlockTheSystemMakesFromAScreenBitmap) {
    const Bytes dib = MakeDib(3, 2, 24, 40, 0, 0);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap =
        CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, dib.data() + 40, info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_NE(SetClipboardData(CF_BITMAP, bitmap), nullptr);
    CloseClipboard();
    ScopedImage s;
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_EQ(DibOf(s.image), dib);
}
#else
// The stand-in makes the clipboard's rare failures happen.
TEST(ClipboardTest, FaultsLeaveNoBlockLockOrOpenClipboard) {
    enum class Earlier { kPastes, kOutOfReach, kEmptied };
    const struct {
        const char* name;
        bool StandInClipboard::Faults::*fault;
        Earlier earlier;  // what became of the block copied before
    } cases[] = {
        {"held by another program", &StandInClipboard::Faults::heldElsewhere, Earlier::kOutOfReach},
        {"no movable memory", &StandInClipboard::Faults::allocFails, Earlier::kPastes},
        {"no lock", &StandInClipboard::Faults::lockFails, Earlier::kOutOfReach},
        {"set refused", &StandInClipboard::Faults::setFails, Earlier::kEmptied},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        StandInReset();
        ScopedImage earlier;
        ScopedImage later;
        CopyToClipboard(earlier.image);
        g_standIn.faults.*row.fault = true;
        bool published = true;
        CopyToClipboard(later.image, &published);
        EXPECT_FALSE(published);
        EXPECT_EQ(PasteFromClipboard(later.image), row.earlier == Earlier::kPastes);
        EXPECT_EQ(g_standIn.liveBlocks, row.earlier == Earlier::kEmptied ? 0u : 1u);
        EXPECT_EQ(g_standIn.outstandingLocks, 0);
        EXPECT_FALSE(g_standIn.open);
    }
    StandInReset();
}
#endif
