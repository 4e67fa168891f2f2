// velmora-cli's entry on real files: exit 0 with the work done, 1 when a file fails, 2 when the
// arguments are wrong; whatever fails, an OUT that was there stays as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/support/test_files.h"

namespace {

// Runs in the folder: names ending in .bmp are taken inside it. Standard output, then error.
int RunIn(const ScratchDir& dir, std::vector<std::string> args, std::string* text = nullptr) {
    std::vector<const char*> argv{"velmora-cli"};
    for (std::string& a : args)
        argv.push_back(
            (a = a.size() > 4 && a.find(".bmp") == a.size() - 4 ? dir.Path(a) : a).c_str());
    std::FILE* out = std::fopen(dir.Path("stdout").c_str(), "wb");
    std::FILE* err = std::fopen(dir.Path("stderr").c_str(), "wb");
    const int code = RunCli(int(argv.size()), argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    if (text != nullptr) {
        const Bytes o = ReadFileBytes(dir.Path("stdout")), e = ReadFileBytes(dir.Path("stderr"));
        *text = std::string(o.begin(), o.end()) + "|" + std::string(e.begin(), e.end());
    }
    return code;
}

}  // namespace

// The expected file was written by an independent program.
TEST(CliTest, DoesTheWorkAndExitsZero) {
    ScratchDir dir;
    std::string text;
    WriteFileBytes(dir.Path("in.bmp"), ReadFileBytes(VELMORA_CLI_DATA "in_3x2.bmp"));
    EXPECT_EQ(RunIn(dir, {"add", "in.bmp", "out.bmp", "10", "-20", "256"}), kExitOk);
    EXPECT_TRUE(ReadFileBytes(dir.Path("out.bmp")) ==
                ReadFileBytes(VELMORA_CLI_DATA "in_3x2_plus_10_-20_256.bmp"));
    EXPECT_EQ(RunIn(dir, {"info", "out.bmp"}, &text), kExitOk);
    EXPECT_EQ(text, "3x2\n|");
    // In place, a square per point in order; points far outside miss the image.
    ASSERT_TRUE(WriteFileBytes(dir.Path("pic.bmp"), MakeBmp(9, 6)));
    EXPECT_EQ(RunIn(dir, {"stamp", "pic.bmp", "pic.bmp", "-90", "90", "200", "4", "0,0", "8,5",
                          "4,3", "4,3", "-2147483648,2147483647"}),
              kExitOk);
    Picture want, got;
    ModelBmp(MakeBmp(9, 6), &want);
    for (auto [x, y] : {std::pair{0, 0}, {8, 5}, {4, 3}, {4, 3}})
        ModelStamp(want, {-90, 90, 200, 4}, x, y);
    EXPECT_EQ(ModelBmp(ReadFileBytes(dir.Path("pic.bmp")), &got), BmpError::kNone);
    EXPECT_TRUE(got == want);
    EXPECT_EQ(RunIn(dir, {"--version"}, &text), kExitOk);
    EXPECT_EQ(text, "Velmora 05\n|");
    EXPECT_EQ(RunIn(dir, {"--help"}, &text), kExitOk);
    EXPECT_EQ(text.find("usage"), 0u);
}

TEST(CliTest, FailuresExitOneOrTwoAndKeepTheOldOut) {
    const std::vector<std::vector<std::string>> cases[2] = {
        {{},
         {"frob", "in.bmp"},
         {"info"},
         {"add", "in.bmp", "out.bmp", "257", "0", "0"},
         {"add", "in.bmp", "out.bmp", "1", " 1", "1"},
         {"add", "in.bmp", "out.bmp", "1", "1", "1x"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "17", "0,0"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "0", "0,0"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "-257", "3", "0,0"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "3", "0,0", "1;1"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "3", "0,2147483648"},
         {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "3"}},
        {{"add", "missing.bmp", "out.bmp", "1", "1", "1"},
         {"stamp", "bad.bmp", "out.bmp", "1", "1", "1", "3", "0,0"},
         {"add", "in.bmp", "no/out.bmp", "1", "1", "1"},
         {"info", "bad.bmp"}}};
    for (int code : {kExitUsage, kExitFileError})
        for (const auto& args : cases[code == kExitFileError]) {
            ScratchDir dir;
            std::string text;
            ASSERT_TRUE(WriteFileBytes(dir.Path("in.bmp"), MakeBmp(3, 3)));
            ASSERT_TRUE(WriteFileBytes(dir.Path("bad.bmp"), Bytes(60, 0)));
            ASSERT_TRUE(WriteFileBytes(dir.Path("out.bmp"), MakeBmp(2, 2)));
            EXPECT_EQ(RunIn(dir, args, &text), code) << (args.empty() ? "" : args.back());
            EXPECT_TRUE(ReadFileBytes(dir.Path("out.bmp")) == MakeBmp(2, 2));
            EXPECT_EQ(text.find(code == kExitUsage ? "|usage" : "|velmora-cli: "), 0u) << text;
        }
}
