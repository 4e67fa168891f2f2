// The rare failures of the system clipboard, made to happen on purpose through the stand-in:
// nothing may be written into a block that was never had, no block may leak, no lock may stay.
#include <gtest/gtest.h>

#include "image/clipboard_dib.h"
#include "image/platform_clipboard.h"
#include "image/platform_clipboard_standin.h"
#include "tests/clipboard/dib_blocks.h"

namespace {

class StandInFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        StandInReset();
        ASSERT_TRUE(image.Create(3, 2));
        FillPattern(image);
        // Something already on the clipboard, which a failed copy must leave alone.
        ScopedImage earlier;
        ASSERT_TRUE(earlier.image.Create(1, 1));
        bool published = false;
        CopyToClipboard(earlier.image, &published);
        ASSERT_TRUE(published);
        blocksBefore = StandInLiveBlocks();
    }
    void TearDown() override {
        StandInReset();
        image.Release();
    }
    static int32_t ClipboardWidth() {
        ScopedImage s;
        return PasteFromClipboard(s.image) ? s.image.GetWidth() : -1;
    }
    void Fail(void (*set)(StandInFaults&)) {
        StandInFaults faults;
        set(faults);
        StandInSetFaults(faults);
    }

    PixelImage image;
    size_t blocksBefore = 0;
};

TEST_F(StandInFaultsTest, CopyThatCannotPublishLeavesNoBlockBehind) {
    struct Case {
        const char* name;
        void (*set)(StandInFaults&);
        bool oldContentsKept;  // a refused hand-over comes after the clipboard was emptied
    };
    const Case cases[] = {
        {"allocation fails", [](StandInFaults& f) { f.allocFails = true; }, true},
        {"lock fails", [](StandInFaults& f) { f.lockFails = true; }, true},
        {"clipboard busy", [](StandInFaults& f) { f.heldElsewhere = true; }, true},
        {"clipboard refuses the block", [](StandInFaults& f) { f.setFails = true; }, false},
    };
    for (const Case& c : cases) {
        Fail(c.set);
        bool published = true;
        EXPECT_TRUE(CopyToClipboard(image, &published)) << c.name;
        EXPECT_FALSE(published) << c.name;
        EXPECT_EQ(StandInLiveBlocks(), c.oldContentsKept ? blocksBefore : 0u) << c.name;
        EXPECT_EQ(StandInOutstandingLocks(), 0) << c.name;
        EXPECT_FALSE(StandInIsOpen()) << c.name;
        StandInSetFaults(StandInFaults());
        EXPECT_EQ(ClipboardWidth(), c.oldContentsKept ? 1 : -1) << c.name;
    }
}

TEST_F(StandInFaultsTest, PasteWhoseBlockCannotBeLockedIsRefusedAndClosed) {
    Fail([](StandInFaults& f) { f.lockFails = true; });
    ScopedImage s;
    ASSERT_TRUE(s.image.Create(4, 4));
    FillPattern(s.image);
    const Bytes before = ImageBytes(s.image);
    EXPECT_FALSE(PasteFromClipboard(s.image));
    EXPECT_EQ(ImageBytes(s.image), before);
    EXPECT_FALSE(StandInIsOpen());
}

TEST_F(StandInFaultsTest, ClipboardOwnsWhatItTookAndFreesItWhenReplaced) {
    for (int i = 0; i < 3; ++i) {
        bool published = false;
        CopyToClipboard(image, &published);
        ASSERT_TRUE(published);
        EXPECT_EQ(StandInLiveBlocks(), 1u) << "copy " << i;
    }
    EXPECT_EQ(ClipboardWidth(), 3);
}

}  // namespace
