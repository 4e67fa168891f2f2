#include <gtest/gtest.h>

#include "tests/support/codec_harness.h"

#ifndef _WIN32
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

#ifndef _WIN32
// A copy that fails frees what it made, and leaves no lock or open clipboard behind.
TEST(ClipboardTest, FaultsLeaveNoBlockLockOrOpenClipboard) {
    const struct {
        const char* name;
        bool StandInClipboard::*fault;
        size_t liveBlocks;  // the block copied before stays unless the failed copy emptied it
    } cases[] = {
        {"held by another program", &StandInClipboard::heldElsewhere, 1},
        {"no lock", &StandInClipboard::lockFails, 1},
        {"set refused", &StandInClipboard::setFails, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        StandInReset();
        ScopedImage earlier;
        ScopedImage later;
        CopyToClipboard(earlier.image);
        g_standIn.*row.fault = true;
        bool published = true;
        CopyToClipboard(later.image, &published);
        EXPECT_FALSE(published);
        EXPECT_FALSE(PasteFromClipboard(later.image));
        EXPECT_EQ(g_standIn.liveBlocks, row.liveBlocks);
        EXPECT_EQ(g_standIn.outstandingLocks, 0);
        EXPECT_FALSE(g_standIn.open);
    }
    StandInReset();
}
#endif
