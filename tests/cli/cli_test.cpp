// velmora-cli's entry on real files: exit 0 with the work done, 1 when a file fails, 2 when the
// arguments are wrong; whatever fails, an OUT that was there stays as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/support/test_files.h"

namespace {

struct CliRun {
    int code;
    std::string out, err;
};

CliRun RunIn(const ScratchDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "velmora-cli");
    std::vector<const char*> argv;
    for (std::string& a : args) {
        if (a.find(".bmp") != std::string::npos && a.rfind(VELMORA_CLI_DATA, 0) != 0) {
            a = dir.Path(a);  // a name in the test's own folder
        }
        argv.push_back(a.c_str());
    }
    std::FILE* out = std::fopen(dir.Path("stdout").c_str(), "wb");
    std::FILE* err = std::fopen(dir.Path("stderr").c_str(), "wb");
    const int code = RunCli(int(argv.size()), argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    const Bytes o = ReadFileBytes(dir.Path("stdout")), e = ReadFileBytes(dir.Path("stderr"));
    return {code, std::string(o.begin(), o.end()), std::string(e.begin(), e.end())};
}

}  // namespace

// The expected file was written by an independent program.
TEST(CliTest, DoesTheWorkAndExitsZero) {
    ScratchDir dir;
    const std::string data = VELMORA_CLI_DATA;
    EXPECT_EQ(RunIn(dir, {"add", data + "in_3x2.bmp", "out.bmp", "10", "-20", "256"}).code,
              kExitOk);
    EXPECT_TRUE(ReadFileBytes(dir.Path("out.bmp")) ==
                ReadFileBytes(data + "in_3x2_plus_10_-20_256.bmp"));
    EXPECT_EQ(RunIn(dir, {"info", "out.bmp"}).out, "3x2\n");

    // In place, a square per point in order; points far outside miss the image.
    ASSERT_TRUE(WriteFileBytes(dir.Path("pic.bmp"), MakeBmp(9, 6)));
    const CliRun stamp = RunIn(dir, {"stamp", "pic.bmp", "pic.bmp", "-90", "90", "200", "4", "0,0",
                                  "8,5", "4,3", "4,3", "-2147483648,2147483647"});
    Picture want;
    ASSERT_EQ(ModelBmp(MakeBmp(9, 6), &want), BmpError::kNone);
    for (auto [x, y] : {std::pair{0, 0}, {8, 5}, {4, 3}, {4, 3}}) {
        ModelStamp(want, {-90, 90, 200, 4}, x, y);
    }
    Picture got;
    EXPECT_EQ(stamp.code, kExitOk);
    ASSERT_EQ(ModelBmp(ReadFileBytes(dir.Path("pic.bmp")), &got), BmpError::kNone);
    EXPECT_TRUE(got == want);
    EXPECT_EQ(RunIn(dir, {"--version"}).out, "Velmora 05\n");
    EXPECT_NE(RunIn(dir, {"--help"}).out.find("stamp"), std::string::npos);
}

TEST(CliTest, FailuresExitOneOrTwoAndKeepTheOldOut) {
    const std::vector<std::vector<std::string>> usage = {
        {},
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
        {"stamp", "in.bmp", "out.bmp", "1", "1", "1", "3"},
    };
    const std::vector<std::vector<std::string>> fileErrors = {
        {"add", "missing.bmp", "out.bmp", "1", "1", "1"},
        {"stamp", "bad.bmp", "out.bmp", "1", "1", "1", "3", "0,0"},
        {"add", "in.bmp", "no/such/out.bmp", "1", "1", "1"},
        {"info", "bad.bmp"},
    };
    for (int code : {kExitUsage, kExitFileError}) {
        for (const auto& args : code == kExitUsage ? usage : fileErrors) {
            ScratchDir dir;
            ASSERT_TRUE(WriteFileBytes(dir.Path("in.bmp"), MakeBmp(3, 3)));
            ASSERT_TRUE(WriteFileBytes(dir.Path("bad.bmp"), Bytes(60, 0)));
            ASSERT_TRUE(WriteFileBytes(dir.Path("out.bmp"), MakeBmp(2, 2)));
            const CliRun run = RunIn(dir, args);
            const std::string what = args.empty() ? "(none)" : args[0] + " " + args.back();
            EXPECT_EQ(run.code, code) << what;
            EXPECT_TRUE(ReadFileBytes(dir.Path("out.bmp")) == MakeBmp(2, 2)) << what;
            EXPECT_EQ(run.out, "") << what;
            EXPECT_NE(run.err.find(code == kExitUsage ? "usage" : "velmora-cli: "),
                      std::string::npos)
                << what;
        }
    }
}
