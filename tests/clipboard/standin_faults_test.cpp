// The rare failures of the system clipboard, made to happen on purpose through the stand-in:
// nothing may be written into a block that was never had, no block may leak, no lock may stay.
#include <gtest/gtest.h>

#include "image/clipboard_dib.h"
#include "image/platform_clipboard.h"
#include "image/platform_clipboard_standin.h"
#include "tests/clipboard/dib_blocks.h"

namespace {

int32_t ClipboardWidth() {
    ScopedImage s;
    return PasteFromClipboard(s.image) ? s.image.GetWidth() : -1;
}

void PutOneByOne() {
    ScopedImage earlier;
    ASSERT_TRUE(earlier.image.Create(1, 1));
    bool published = false;
    CopyToClipboard(earlier.image, &published);
    ASSERT_TRUE(published);
    ASSERT_EQ(StandInLiveBlocks(), 1u);
}

TEST(StandInFaults, CopyThatCannotPublishLeavesNoBlockBehind) {
    struct Case {
        const char* name;
        StandInFaults faults;
        bool oldContentsKept;  // a refused hand-over comes after the clipboard was emptied
    };
    const Case cases[] = {
        {"allocation fails", {false, true, false, false}, true},
        {"lock fails", {false, false, true, false}, true},
        {"clipboard busy", {true, false, false, false}, true},
        {"clipboard refuses the block", {false, false, false, true}, false},
    };
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(3, 2));
    for (const Case& c : cases) {
        StandInReset();
        PutOneByOne();
        StandInSetFaults(c.faults);
        bool published = true;
        EXPECT_TRUE(CopyToClipboard(s.image, &published)) << c.name;
        EXPECT_FALSE(published) << c.name;
        EXPECT_EQ(StandInLiveBlocks(), c.oldContentsKept ? 1u : 0u) << c.name;
        EXPECT_EQ(StandInOutstandingLocks(), 0) << c.name;
        EXPECT_FALSE(StandInIsOpen()) << c.name;
        StandInSetFaults(StandInFaults());
        EXPECT_EQ(ClipboardWidth(), c.oldContentsKept ? 1 : -1) << c.name;
    }
    // Without faults each copy replaces the block before it, which must not stay behind.
    for (int i = 0; i < 2; ++i) {
        CopyToClipboard(s.image);
        EXPECT_EQ(StandInLiveBlocks(), 1u) << "copy " << i;
    }
    EXPECT_EQ(ClipboardWidth(), 3);
    StandInReset();
}

TEST(StandInFaults, PasteWhoseBlockCannotBeLockedIsRefusedAndClosed) {
    StandInReset();
    PutOneByOne();
    StandInFaults faults;
    faults.lockFails = true;
    StandInSetFaults(faults);
    ScopedImage s;
    PrepareTarget(s.image);
    const ImageSnapshot before = Snapshot(s.image);
    EXPECT_FALSE(PasteFromClipboard(s.image));
    EXPECT_TRUE(Snapshot(s.image) == before);
    EXPECT_FALSE(StandInIsOpen());
    StandInReset();
}

}  // namespace
