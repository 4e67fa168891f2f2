// Saving to paths at the system's length limits, and pasting blocks that carry a colour table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "tests/clipboard/dib_blocks.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

// The temporary file must not lengthen the target's name: a path at the limit still saves, new
// and over itself, and only the target is left in the folder. Under Windows the limit is 259
// characters of path; natively it is 255 of name. A relative name is measured on its own.
TEST(SaveAndPasteEdgesTest, PathsAtTheLengthLimitSave) {
    struct Case {
        const char* name;
        size_t pathLength;  // whole path, or 0 for a name of nameLength in the current folder
        size_t nameLength;
    };
#ifdef _WIN32
    const Case cases[] = {{"whole path at MAX_PATH", 259, 0}, {"relative name of 250", 0, 250}};
#else
    const Case cases[] = {{"name of 250", 0, 250}, {"name at NAME_MAX", 0, 255}};
#endif
    for (const Case& c : cases) {
        ScratchDir dir;
        const fs::path oldCwd = fs::current_path();
        fs::current_path(dir.Root());
        const size_t nameLength =
            c.pathLength ? c.pathLength - dir.Root().size() - 1 : c.nameLength;
        const std::string name = std::string(nameLength - 4, 'n') + ".bmp";
        const std::string path = c.pathLength ? dir.Path(name) : name;
        ScopedImage saved, loaded;
        ASSERT_TRUE(saved.image.Create(7, 3));
        FillPattern(saved.image);
        for (int pass = 0; pass < 2; ++pass) {
            EXPECT_TRUE(SaveBmp(saved.image, path.c_str())) << c.name << " pass " << pass;
        }
        EXPECT_TRUE(LoadBmp(loaded.image, path.c_str())) << c.name;
        EXPECT_EQ(Snapshot(loaded.image).pixels, Snapshot(saved.image).pixels) << c.name;
        size_t entries = 0;
        for (const auto& entry : fs::directory_iterator(dir.Root())) {
            EXPECT_EQ(entry.path().filename().string(), name) << c.name;
            ++entries;
        }
        EXPECT_EQ(entries, 1u) << c.name;
        fs::current_path(oldCwd);
    }
}

// A colour table sits between the header (and masks) and the rows; it is skipped, and a block
// too short for the table its header announces is refused with the image untouched.
TEST(SaveAndPasteEdgesTest, ColourTablesAreSkippedOrRefused) {
    const struct {
        const char* name;
        DibLayout layout;
        uint32_t entries;     // announced at offset 32
        uint32_t tableBytes;  // actually put in
    } cases[] = {
        {"24-bit, none", {5, 3, 24}, 0, 0},
        {"24-bit, 2", {5, 3, 24}, 2, 8},
        {"24-bit, 256", {5, 3, 24}, 256, 1024},
        {"32-bit masks, 2", {4, 2, 32, 40, 3, true}, 2, 8},
        {"table not there", {5, 3, 24}, 2, 0},
        {"table past any block", {5, 3, 24}, 0xFFFFFFFFu, 0},
    };
    for (const auto& c : cases) {
        Bytes block = MakeDib(c.layout);
        const size_t tableAt = c.layout.masksAfterHeader ? 52 : 40;
        block.insert(block.begin() + static_cast<std::ptrdiff_t>(tableAt), c.tableBytes, 0x77);
        PutLe32(block, 32, c.entries);
        ScopedImage target;
        PrepareTarget(target.image);
        const ImageSnapshot before = Snapshot(target.image);
        const bool fits = c.entries * uint64_t{4} == c.tableBytes;
        EXPECT_EQ(ReadDibBlock(target.image, block.data(), block.size()), fits) << c.name;
        if (fits) {
            EXPECT_TRUE(
                HoldsPattern(target.image, c.layout.width, c.layout.height,
                             c.layout.bitsPerPixel == 32 ? Fourth::kPattern : Fourth::kZero))
                << c.name;
        } else {
            EXPECT_EQ(Snapshot(target.image), before) << c.name;
        }
    }
}

}  // namespace
