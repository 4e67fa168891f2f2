#include <gtest/gtest.h>

#include "tests/support/clipboard_standin.h"
#include "tests/support/codec_harness.h"

// What a copy published, a paste gets back without the fourth bytes.
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

#ifndef _WIN32
// A copy that fails frees what it made, leaves no lock or open clipboard behind, and keeps the
// block copied before unless it emptied the clipboard first.
TEST(ClipboardTest, FaultsLeaveNoBlockLockOrOpenClipboard) {
    const struct {
        const char* name;
        StandInClipboard::Fault fault;
    } cases[] = {{"held by another program", StandInClipboard::kHeldElsewhere},
                 {"no lock", StandInClipboard::kLockFails},
                 {"set refused", StandInClipboard::kSetFails}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        StandInReset();
        ScopedImage s;
        CopyToClipboard(s.image);
        g_standIn.fault = row.fault;
        bool published = true;
        CopyToClipboard(s.image, &published);
        EXPECT_FALSE(published);
        EXPECT_FALSE(PasteFromClipboard(s.image));
        EXPECT_EQ(g_standIn.liveBlocks, row.fault == StandInClipboard::kSetFails ? 0u : 1u);
        EXPECT_EQ(g_standIn.outstandingLocks, 0);
        EXPECT_FALSE(g_standIn.open);
    }
    StandInReset();
}
#endif
