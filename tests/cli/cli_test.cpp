#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "image/bmp_file.h"
#include "tests/support/test_files.h"

namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

std::string ReadBack(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
    }
    // The streams are binary, so nothing should need this; it keeps the comparisons portable.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Standard output and error go to files in a scratch folder of their own. tmpfile() is not
// used: the Windows C runtime makes its files in the drive's root under names that other test
// processes running at the same moment can take, and then it returns null.
CliRun RunVelmora(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"velmora-cli"};
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    argv.push_back(nullptr);
    CliRun run;
    ScratchDir streams;
    std::FILE* out = std::fopen(streams.Path("stdout").c_str(), "w+b");
    std::FILE* err = std::fopen(streams.Path("stderr").c_str(), "w+b");
    EXPECT_NE(out, nullptr);
    EXPECT_NE(err, nullptr);
    if (out != nullptr && err != nullptr) {
        run.code = RunCli(static_cast<int>(argv.size() - 1), argv.data(), out, err);
        run.out = ReadBack(out);
        run.err = ReadBack(err);
    }
    if (out != nullptr) {
        std::fclose(out);
    }
    if (err != nullptr) {
        std::fclose(err);
    }
    return run;
}

std::string Join(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args) {
        s += "[" + a + "] ";
    }
    return s;
}

int Clamp(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Loads a file the CLI wrote into an image of the test's own.
void LoadOrFail(ScopedImage& s, const std::string& path) {
    BmpError why = BmpError::kNone;
    ASSERT_TRUE(LoadBmp(s.image, path.c_str(), &why)) << path << ": " << DescribeBmpError(why);
}

// The picture MakeBmp(w, h) holds, with offsets added to the pixels covered(x, y) names.
template <typename Covered>
void ExpectColourAtPlus(const PixelImage& image, int32_t w, int32_t h, int dr, int dg, int db,
                        int times, Covered covered) {
    ASSERT_EQ(image.GetWidth(), w);
    ASSERT_EQ(image.GetHeight(), h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            int r = rgb[0], g = rgb[1], b = rgb[2];
            const int n = covered(x, y) ? times : 0;
            for (int i = 0; i < n; ++i) {
                r = Clamp(r + dr);
                g = Clamp(g + dg);
                b = Clamp(b + db);
            }
            ASSERT_EQ(image.GetRed(x, y), r) << x << "," << y;
            ASSERT_EQ(image.GetGreen(x, y), g) << x << "," << y;
            ASSERT_EQ(image.GetBlue(x, y), b) << x << "," << y;
        }
    }
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

}  // namespace

TEST(CliTest, VersionAndHelpGoToStandardOutput) {
    const CliRun version = RunVelmora({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "Velmora 05\n");
    EXPECT_EQ(version.err, "");

    const CliRun help = RunVelmora({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    for (const char* word : {"usage", "info", "add", "stamp", "--version"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
}

TEST(CliTest, InfoPrintsWidthByHeight) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp");
    for (const auto& size : {std::pair<int, int>{7, 5}, {1, 1}, {4, 13}}) {
        ASSERT_TRUE(WriteFileBytes(in, MakeBmp(size.first, size.second)));
        const CliRun run = RunVelmora({"info", in});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out, std::to_string(size.first) + "x" + std::to_string(size.second) + "\n");
        EXPECT_EQ(run.err, "");
    }
}

TEST(CliTest, AddWritesClampedPixelsAndLeavesTheInputAlone) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
    const Bytes original = MakeBmp(7, 5);
    ASSERT_TRUE(WriteFileBytes(in, original));
    const CliRun run = RunVelmora({"add", in, out, "40", "-256", "+7"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(in), original);
    ScopedImage s;
    LoadOrFail(s, out);
    ExpectColourAtPlus(s.image, 7, 5, 40, -256, 7, 1, [](int32_t, int32_t) { return true; });
}

TEST(CliTest, AddInPlaceWhenOutIsIn) {
    ScratchDir dir;
    const std::string in = dir.Path("same.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(5, 3)));
    for (int pass = 0; pass < 2; ++pass) {
        const CliRun run = RunVelmora({"add", in, in, "100", "-3", "256"});
        ASSERT_EQ(run.code, 0) << run.err;
    }
    ScopedImage s;
    LoadOrFail(s, in);
    ExpectColourAtPlus(s.image, 5, 3, 100, -3, 256, 2, [](int32_t, int32_t) { return true; });
}

TEST(CliTest, StampAppliesOneSquarePerPointInOrder) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(9, 6)));
    // Pen 3 at (0,0) and (8,5) and twice at (4,2); the extreme points miss the image.
    const CliRun run = RunVelmora({"stamp", in, out, "-30", "20", "5", "3", "0,0", "8,5", "4,2",
                                   "4,2", "-2147483648,2147483647", "2147483647,-2147483648"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    ScopedImage s;
    LoadOrFail(s, out);
    ASSERT_EQ(s.image.GetWidth(), 9);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 9; ++x) {
            auto near = [&](int32_t px, int32_t py) {
                return x >= px - 1 && x <= px + 1 && y >= py - 1 && y <= py + 1;
            };
            const int times = (near(0, 0) ? 1 : 0) + (near(8, 5) ? 1 : 0) + (near(4, 2) ? 2 : 0);
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            int r = rgb[0], g = rgb[1], b = rgb[2];
            for (int i = 0; i < times; ++i) {
                r = Clamp(r - 30), g = Clamp(g + 20), b = Clamp(b + 5);
            }
            ASSERT_EQ(s.image.GetRed(x, y), r) << x << "," << y;
            ASSERT_EQ(s.image.GetGreen(x, y), g) << x << "," << y;
            ASSERT_EQ(s.image.GetBlue(x, y), b) << x << "," << y;
        }
    }

    // Pen 16 at the ends of the range, in place.
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(4, 4)));
    const CliRun big =
        RunVelmora({"stamp", in, in, "1", "1", "1", "16", "7,7", "2147483647,2147483647"});
    EXPECT_EQ(big.code, 0) << big.err;
    ScopedImage t;
    LoadOrFail(t, in);
    ExpectColourAtPlus(t.image, 4, 4, 1, 1, 1, 1, [](int32_t, int32_t) { return true; });
}

// Wrong arguments: exit 2, the usage on standard error, nothing written, nothing on standard
// output, and the input never even read.
TEST(CliTest, BadArgumentsExitTwoAndWriteNothing) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
    const Bytes original = MakeBmp(3, 3);
    ASSERT_TRUE(WriteFileBytes(in, original));
    const std::string missing = dir.Path("missing.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", in, out},
        {"add", in, out, "1", "2"},
        {"add", in, out, "1", "2", "3", "4"},
        {"add", in},
        {"add", in, out, "257", "0", "0"},
        {"add", in, out, "0", "-257", "0"},
        {"add", in, out, "0", "0", "1000"},
        {"add", in, out, "abc", "0", "0"},
        {"add", in, out, "1.5", "0", "0"},
        {"add", in, out, "", "0", "0"},
        {"add", in, out, " 1", "0", "0"},
        {"add", in, out, "1 ", "0", "0"},
        {"add", in, out, "12abc", "0", "0"},
        {"add", in, out, "0x10", "0", "0"},
        {"add", in, out, "-", "0", "0"},
        {"add", in, out, "99999999999999999999", "0", "0"},
        {"add", missing, out, "257", "0", "0"},  // arguments are judged before any file
        {"stamp", in, out, "0", "0", "0", "0", "1,1"},
        {"stamp", in, out, "0", "0", "0", "17", "1,1"},
        {"stamp", in, out, "0", "0", "0", "-1", "1,1"},
        {"stamp", in, out, "0", "0", "0", "x", "1,1"},
        {"stamp", in, out, "257", "0", "0", "1", "1,1"},
        {"stamp", in, out, "0", "0", "0", "1"},
        {"stamp", in, out, "0", "0", "0", "1", "1,"},
        {"stamp", in, out, "0", "0", "0", "1", ",2"},
        {"stamp", in, out, "0", "0", "0", "1", ","},
        {"stamp", in, out, "0", "0", "0", "1", "1"},
        {"stamp", in, out, "0", "0", "0", "1", "1,2,3"},
        {"stamp", in, out, "0", "0", "0", "1", "1,2x"},
        {"stamp", in, out, "0", "0", "0", "1", "a,b"},
        {"stamp", in, out, "0", "0", "0", "1", "1, 2"},
        {"stamp", in, out, "0", "0", "0", "1", "2147483648,0"},
        {"stamp", in, out, "0", "0", "0", "1", "0,-2147483649"},
        {"stamp", in, out, "0", "0", "0", "1", "1,1", "2;2"},  // a bad point after a good one
        {"stamp", missing, out, "0", "0", "0", "1", "1,"},
    };
    for (const auto& args : cases) {
        const CliRun run = RunVelmora(args);
        EXPECT_EQ(run.code, 2) << Join(args);
        EXPECT_EQ(run.out, "") << Join(args);
        EXPECT_EQ(run.err.rfind("usage:", 0), 0u) << Join(args) << run.err;
        EXPECT_FALSE(FileExists(out)) << Join(args);
        EXPECT_EQ(ReadFileBytes(in), original) << Join(args);
    }
}

// Every kind of unloadable file: exit 1, one line on standard error that names the file and
// says why, and no output file; an OUT that was there stays byte for byte.
TEST(CliTest, UnloadableInputExitsOneAndKeepsAnyOldOutput) {
    struct Case {
        const char* name;
        bool create;
        std::function<void(Bytes&)> mutate;
        const char* why;
    };
    const Case cases[] = {
        {"missing", false, [](Bytes&) {}, "missing or unreadable"},
        {"8 bpp", true, [](Bytes& b) { PutLe16(b, 28, 8); }, "not a 24 bits per pixel"},
        {"20 bytes", true, [](Bytes& b) { b.resize(20); }, "not a 24 bits per pixel"},
        {"top-down", true, [](Bytes& b) { PutLe32(b, 22, static_cast<uint32_t>(-2)); },
         "top-down or zero size"},
        {"width 0", true, [](Bytes& b) { PutLe32(b, 18, 0); }, "top-down or zero size"},
        {"cut short", true, [](Bytes& b) { b.pop_back(); }, "pixel data cut short"},
    };
    ScratchDir dir;
    const std::string out = dir.Path("out.bmp");
    const Bytes oldOut = MakeBmp(2, 1);
    for (const Case& c : cases) {
        const std::string in = dir.Path(std::string(c.name) + ".bmp");
        if (c.create) {
            Bytes file = MakeBmp(3, 2);
            c.mutate(file);
            ASSERT_TRUE(WriteFileBytes(in, file));
        }
        const std::vector<std::vector<std::string>> commands = {
            {"info", in},
            {"add", in, out, "1", "2", "3"},
            {"stamp", in, out, "1", "2", "3", "4", "1,1"},
        };
        for (bool outExists : {false, true}) {
            for (const auto& args : commands) {
                std::error_code ignored;
                std::filesystem::remove(out, ignored);
                if (outExists) {
                    ASSERT_TRUE(WriteFileBytes(out, oldOut));
                }
                const CliRun run = RunVelmora(args);
                EXPECT_EQ(run.code, 1) << c.name << " " << Join(args);
                EXPECT_EQ(run.out, "") << c.name << " " << Join(args);
                EXPECT_TRUE(IsOneLine(run.err)) << c.name << " " << Join(args) << run.err;
                EXPECT_NE(run.err.find(in), std::string::npos) << c.name << ": " << run.err;
                EXPECT_NE(run.err.find(c.why), std::string::npos) << c.name << ": " << run.err;
                if (outExists) {
                    EXPECT_EQ(ReadFileBytes(out), oldOut) << c.name << " " << Join(args);
                } else {
                    EXPECT_FALSE(FileExists(out)) << c.name << " " << Join(args);
                }
            }
        }
    }
}

TEST(CliTest, InputTooLargeForMemoryIsNamedAsSuch) {
    ScratchDir dir;
    const std::string in = dir.Path("huge.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(2, 2)));
    std::error_code ec;
    std::filesystem::resize_file(in, uint64_t{1} << 31, ec);  // sparse: costs no disk space
    if (ec) {
        GTEST_SKIP() << "cannot make a sparse file here: " << ec.message();
    }
    const CliRun run = RunVelmora({"add", in, dir.Path("out.bmp"), "1", "1", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(IsOneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find(in), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("too large for memory"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(dir.Path("out.bmp")));
}

TEST(CliTest, UnsavableOutputExitsOneNamingTheOutput) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp");
    const std::string out = dir.Path("no-such-folder/out.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(3, 2)));
    const CliRun run = RunVelmora({"add", in, out, "1", "1", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(IsOneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find(out), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(out));
}
