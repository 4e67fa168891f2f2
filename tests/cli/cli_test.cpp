#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "image/bmp_file.h"
#include "tests/support/test_files.h"

namespace {

CliRun RunVelmora(const std::vector<std::string>& args) {
    return RunCapturing(RunCli, args);
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

// The file holds MakeBmp(w, h)'s picture with the offsets added, clamped each time, as often
// as times(x, y) says.
template <typename Times>
void ExpectColourAtPlus(const std::string& path, int32_t w, int32_t h, int dr, int dg, int db,
                        Times times) {
    ScopedImage s;
    BmpError why = BmpError::kNone;
    ASSERT_TRUE(LoadBmp(s.image, path.c_str(), &why)) << path << ": " << DescribeBmpError(why);
    ASSERT_EQ(s.image.GetWidth(), w);
    ASSERT_EQ(s.image.GetHeight(), h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            int r = rgb[0], g = rgb[1], b = rgb[2];
            for (int i = times(x, y); i > 0; --i) {
                r = Clamp(r + dr), g = Clamp(g + dg), b = Clamp(b + db);
            }
            ASSERT_EQ(s.image.GetRed(x, y), r) << x << "," << y;
            ASSERT_EQ(s.image.GetGreen(x, y), g) << x << "," << y;
            ASSERT_EQ(s.image.GetBlue(x, y), b) << x << "," << y;
        }
    }
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

}  // namespace

// The version line, info and the exit codes are also checked on the real program (binary_tests).
TEST(CliTest, HelpGoesToStandardOutput) {
    const CliRun help = RunVelmora({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    for (const char* word : {"usage", "info", "add", "stamp", "--version"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
}

// Add to a new file, leaving the input alone; then twice in place with OUT the same as IN.
TEST(CliTest, AddWritesClampedPixelsToOutOrInPlace) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
    const Bytes original = MakeBmp(7, 5);
    ASSERT_TRUE(WriteFileBytes(in, original));
    const CliRun run = RunVelmora({"add", in, out, "40", "-256", "+7"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ReadFileBytes(in), original);
    ExpectColourAtPlus(out, 7, 5, 40, -256, 7, [](int32_t, int32_t) { return 1; });

    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(RunVelmora({"add", in, in, "100", "-3", "256"}).code, 0);
    }
    ExpectColourAtPlus(in, 7, 5, 100, -3, 256, [](int32_t, int32_t) { return 2; });
    const std::string lost = dir.Path("no-such-dir/o.bmp");
    EXPECT_EQ(RunVelmora({"add", in, lost, "1", "2", "3"}).err,
              "velmora-cli: cannot save " + lost + ": no such folder\n");
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
    ExpectColourAtPlus(out, 9, 6, -30, 20, 5, [](int32_t x, int32_t y) {
        auto near = [&](int32_t px, int32_t py) {
            return x >= px - 1 && x <= px + 1 && y >= py - 1 && y <= py + 1;
        };
        return (near(0, 0) ? 1 : 0) + (near(8, 5) ? 1 : 0) + (near(4, 2) ? 2 : 0);
    });
}

// Wrong arguments: exit 2, one line saying what is wrong and one pointing to the help on standard
// error, nothing written, nothing on standard output, and the input never even read.
TEST(CliTest, BadArgumentsExitTwoAndWriteNothing) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp"), out = dir.Path("out.bmp");
    const Bytes original = MakeBmp(3, 3);
    ASSERT_TRUE(WriteFileBytes(in, original));
    const std::string missing = dir.Path("missing.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info", in, out},
        {"add", in, out, "1", "2"},
        {"add", in, out, "1", "2", "3", "4"},
        {"add", in, out, "257", "0", "0"},
        {"add", in, out, "0", "-257", "0"},
        {"add", in, out, "", "0", "0"},
        {"add", in, out, " 1", "0", "0"},
        {"add", in, out, "12abc", "0", "0"},
        {"add", in, out, "99999999999999999999", "0", "0"},
        {"add", missing, out, "257", "0", "0"},  // arguments are judged before any file
        {"stamp", in, out, "0", "0", "0", "0", "1,1"},
        {"stamp", in, out, "0", "0", "0", "17", "1,1"},
        {"stamp", in, out, "257", "0", "0", "1", "1,1"},
        {"stamp", in, out, "0", "0", "0", "1"},
        {"stamp", in, out, "0", "0", "0", "1", "1,"},
        {"stamp", in, out, "0", "0", "0", "1", "1"},
        {"stamp", in, out, "0", "0", "0", "1", "1,2,3"},
        {"stamp", in, out, "0", "0", "0", "1", "2147483648,0"},
        {"stamp", in, out, "0", "0", "0", "1", "1,1", "2;2"},  // a bad point after a good one
    };
    const std::vector<std::pair<std::vector<std::string>, std::string>> said = {
        {{"add", in, out, "300", "0", "0"}, "R must be -256..256, not 300"},
        {{"stamp", in, out, "0", "0", "0", "1", "5,x"}, "5,x is not a point X,Y"},
        {{"frobnicate"}, "frobnicate is not a command"},
    };
    for (const auto& args : cases) {
        const CliRun run = RunVelmora(args);
        EXPECT_EQ(run.code, 2) << Join(args);
        EXPECT_EQ(run.out, "") << Join(args);
        EXPECT_EQ(run.err.rfind("velmora-cli: ", 0), 0u) << Join(args) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << Join(args) << run.err;
        EXPECT_NE(run.err.find("Try 'velmora-cli --help'.\n"), std::string::npos) << run.err;
        EXPECT_FALSE(FileExists(out)) << Join(args);
        EXPECT_EQ(ReadFileBytes(in), original) << Join(args);
    }
    for (const auto& [args, line] : said) {
        EXPECT_EQ(RunVelmora(args).err, "velmora-cli: " + line + "\nTry 'velmora-cli --help'.\n");
    }
}

// Every kind of unloadable file: exit 1, one line on standard error that names the file and
// says why, and no output file; an OUT that was there stays byte for byte.
TEST(CliTest, UnloadableInputExitsOneAndKeepsAnyOldOutput) {
    const struct {
        const char* name;
        size_t at;
        int bits;  // as Altered takes them; -1 for no file at all
        uint32_t value;
        const char* why;
    } cases[] = {
        {"missing", 0, -1, 0, "no such file"},
        {"8 bpp", 28, 16, 8, "not a 24 bits per pixel"},
        {"top-down", 22, 32, static_cast<uint32_t>(-2), "top-down or zero size"},
        {"cut short", 77, 0, 0, "pixel data cut short"},
    };
    ScratchDir dir;
    const std::string out = dir.Path("out.bmp");
    const Bytes oldOut = MakeBmp(2, 1);
    for (const auto& c : cases) {
        const std::string in = dir.Path(std::string(c.name) + ".bmp");
        if (c.bits >= 0) {
            ASSERT_TRUE(WriteFileBytes(in, Altered(MakeBmp(3, 2), c.at, c.bits, c.value)));
        }
        const std::vector<std::vector<std::string>> commands = {
            {"info", in},
            {"add", in, out, "1", "2", "3"},
            {"stamp", in, out, "1", "2", "3", "4", "1,1"},
        };
        for (bool outExists : {false, true}) {
            for (const auto& args : commands) {
                const std::string what = std::string(c.name) + " " + Join(args);
                std::error_code ignored;
                std::filesystem::remove(out, ignored);
                if (outExists) {
                    ASSERT_TRUE(WriteFileBytes(out, oldOut));
                }
                const CliRun run = RunVelmora(args);
                EXPECT_EQ(run.code, 1) << what;
                EXPECT_EQ(run.out, "") << what;
                EXPECT_TRUE(IsOneLine(run.err)) << what << run.err;
                EXPECT_NE(run.err.find(in), std::string::npos) << what << run.err;
                EXPECT_NE(run.err.find(c.why), std::string::npos) << what << run.err;
                bool exists = false;
                EXPECT_EQ(ReadFileBytes(out, &exists), outExists ? oldOut : Bytes{}) << what;
                EXPECT_EQ(exists, outExists) << what;
            }
        }
    }
}

// ---- add-all (batch work); the "-" pipe round trip is in run_cli_add.cmake ----

// Outputs equal add's in a folder and in place; falling widths expose stale bytes in reused
// buffers; odd files (a byte past the rows) go through an image, even ones take the in-place road.
TEST(CliBatchTest, AddAllMatchesAddOutlivesAFailureAndRefusesBadArguments) {
    ScratchDir dir;
    const std::string bad = dir.Path("bad.bmp"), out = dir.Path("out"), a = dir.Path("f0.bmp");
    const std::string o0 = out + "/f0.bmp";
    ASSERT_TRUE(std::filesystem::create_directory(out) && WriteFileBytes(bad, Bytes(40, 1)) &&
                WriteFileBytes(out + "/bad.bmp", MakeBmp(2, 1)));
    std::vector<std::string> toDir = {"add-all", "40", "-256", "7", "-j3", "--to", out, bad};
    std::vector<std::string> inPlace = {"add-all", "40", "-256", "7", "--in-place", "-j", "1"};
    for (int i = 0; i < 6; ++i) {
        const std::string f = dir.Path("f" + std::to_string(i) + ".bmp");
        Bytes bmp = MakeBmp(40 - 7 * i, 3);
        bmp.resize(bmp.size() + i % 2, 9);
        ASSERT_TRUE(WriteFileBytes(f, bmp) &&
                    RunVelmora({"add", f, f + "w", "40", "-256", "7"}).code == 0);
        toDir.push_back(f);
        inPlace.push_back(f);
    }
    const CliRun run = RunVelmora(toDir);
    EXPECT_TRUE(run.code == 1 && run.out == "6 done, 1 failed\n" && IsOneLine(run.err) &&
                run.err.find(bad) != std::string::npos)
        << run.err;
    EXPECT_TRUE(ReadFileBytes(out + "/bad.bmp") == MakeBmp(2, 1) && RunVelmora(inPlace).code == 0);
    for (auto f = toDir.begin() + 8; f != toDir.end(); ++f) {
        const Bytes want = ReadFileBytes(*f + "w");
        EXPECT_TRUE(ReadFileBytes(*f) == want &&
                    ReadFileBytes(out + f->substr(f->find_last_of("/\\"))) == want)
            << *f;
    }
    // Refusals: exit 2, the complaint and the pointer to the help, and no file touched.
    const Bytes was = ReadFileBytes(a), wasOut = ReadFileBytes(o0);
    for (const std::vector<std::string>& c : std::vector<std::vector<std::string>>{
             {"--to", dir.Path("no"), a}, {"--to", a, a}, {"--to", out, a, o0}}) {
        std::vector<std::string> args = {"add-all", "1", "2", "3"};
        args.insert(args.end(), c.begin(), c.end());
        const CliRun r = RunVelmora(args);
        const size_t firstEnd = r.err.find('\n');  // the complaint, then only the pointer
        EXPECT_TRUE(r.code == 2 && r.out.empty() && firstEnd != std::string::npos &&
                    r.err.substr(firstEnd) == "\nTry 'velmora-cli --help'.\n")
            << Join(args) << r.err;
        EXPECT_TRUE(ReadFileBytes(a) == was && ReadFileBytes(o0) == wasOut);
    }
}
