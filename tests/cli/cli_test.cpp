// velmora-cli's entry on real files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "cli/cli.h"
#include "tests/support/models.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

// Runs `line` in the folder: stdout, "|", stderr come back.
static int RunIn(const ScratchDir& dir, const std::string& line, std::string* text) {
    WorkingIn here(dir.root);
    std::vector<std::string> args{"velmora-cli"};
    std::istringstream words(line);
    for (std::string a; std::getline(words, a, ' ');)
        args.push_back(a);
    std::vector<const char*> argv;  // ending in null, as a program's own does
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::FILE* out = std::fopen("stdout", "wb");
    std::FILE* err = std::fopen("stderr", "wb");
    const int code = RunCli(int(argv.size()) - 1, argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    const Bytes said = ReadFileBytes("stdout");
    const Bytes complained = ReadFileBytes("stderr");
    *text = std::string(said.begin(), said.end()) + "|" +
            std::string(complained.begin(), complained.end());
    return code;
}

// Stamps go in place, a square per point in order; pipe_round_trip.cmake has "-", the pipes.
TEST(CliTest, DoesTheWorkAndExitsZero) {
    ScratchDir dir;
    std::string text;
    WriteFileBytes(dir.Path("pic.bmp"), MakeBmp(9, 6));
    const struct {
        const char* line;
        const char* saysFirst;  // the start of standard output, "|", then standard error
    } runs[] = {
        {"info pic.bmp", "9x6\n|"},
        {"--help",
         "usage:\n"
         "  velmora-cli info IN.bmp                                   print WIDTHxHEIGHT\n"
         "  velmora-cli add IN.bmp OUT.bmp R G B                      add R G B to every pixel\n"
         "  velmora-cli stamp IN.bmp OUT.bmp R G B PEN X,Y [X,Y ...]  one pen stamp per point\n"
         "  velmora-cli copy IN.bmp                                   put IN on the clipboard\n"
         "  velmora-cli paste OUT.bmp                                 save the clipboard's bitmap\n"
         "  velmora-cli add-all R G B --to DIR | --in-place [-j N] [--quiet] FILE...\n"
         "                                  add R G B to many files, on every core (-j: threads)\n"},
        {"stamp pic.bmp pic.bmp -90 90 200 4 0,0 8,5 4,3 4,3 -2147483648,2147483647", "|"},
#ifdef _WIN32
        {"copy pic.bmp", "|"},  // paste saves what it put on the clipboard
        {"paste pasted.bmp", "|"},
#endif
    };
    for (const auto& run : runs) {
        EXPECT_EQ(RunIn(dir, run.line, &text), kExitOk) << run.line;
        EXPECT_EQ(text.substr(0, std::strlen(run.saysFirst)), run.saysFirst) << run.line;
    }
    Picture want, got;
    ModelBmp(MakeBmp(9, 6), &want);
    for (auto [x, y] : {std::pair{0, 0}, {8, 5}, {4, 3}, {4, 3}})
        ModelStamp(want, {-90, 90, 200, 4}, x, y);
    EXPECT_EQ(ModelBmp(ReadFileBytes(dir.Path("pic.bmp")), &got), BmpError::kNone);
    EXPECT_EQ(got, want);
#ifdef _WIN32
    EXPECT_EQ(ReadFileBytes(dir.Path("pasted.bmp")), ReadFileBytes(dir.Path("pic.bmp")));
#endif
}

constexpr char kNoClipboard[] = "no clipboard on this platform";
// How many words each command takes, as the README gives them.
struct WordCount {
    std::string command;
    int fewest;
    int most;  // 0: no most
};
const WordCount kCounts[] = {
    {"info", 1, 1}, {"add", 5, 5},   {"stamp", 7, 0},
    {"copy", 1, 1}, {"paste", 1, 1}, {"add-all", 3, 0},
};

// A wrong argument gets a line and the help's name, a failed file a line; nothing moves.
TEST(CliTest, FailuresExitOneOrTwoAndKeepTheOldOut) {
    struct Refusal {
        std::string line;
        std::string says;  // on standard error, after "velmora-cli: "
    };
    std::vector<Refusal> cases = {
        {"", "no command given"},
        {"frob in.bmp", "frob is not a command"},
        {"add in.bmp out.bmp 257 0 0", "R must be -256..256, not 257"},
        {"add in.bmp out.bmp 1 \t1 1", "G must be -256..256, not \t1"},
        {"add in.bmp out.bmp 1 1 1x", "B must be -256..256, not 1x"},
        {"stamp in.bmp out.bmp 1 1 1 17 0,0", "PEN must be 1..16, not 17"},
        {"stamp in.bmp out.bmp 1 1 1 3 0,0 1;1", "1;1 is not a point X,Y"},
        {"stamp in.bmp out.bmp 1 1 1 3 0,2147483648", "0,2147483648 is not a point X,Y"},
        {"add missing.bmp out.bmp 1 1 1", "cannot load missing.bmp: no such file"},
        {"stamp missing.bmp out.bmp 1 1 1 3 0,0", "cannot load missing.bmp: no such file"},
        {"add in.bmp no/out.bmp 1 1 1", "cannot save no/out.bmp: no such folder"},
        {"stamp in.bmp no/out.bmp 1 1 1 3 0,0", "cannot save no/out.bmp: no such folder"},
        {"info bad.bmp", "cannot load bad.bmp: not a 24 bits per pixel BMP file"},
        {"add-all 1 2 300 --in-place in.bmp", "B must be -256..256, not 300"},
        {"add-all 1 2 3 --to no in.bmp", "no: no such folder"},
        {"add-all 1 2 3 --to in.bmp in.bmp", "in.bmp: a file, not a folder"},
        {"add-all 1 2 3 --in-place in.bmp in.bmp", "in.bmp and in.bmp would both write in.bmp"},
        {"add-all 1 2 3 --in-place in.bmp -j", "-j needs a value"},
        {"add-all 1 2 3 --in-place -j0 in.bmp", "-j must be 1..1024, not 0"},
        {"add-all 1 2 3 --in-place -", "add-all reads files, not standard input"},
        {"add-all 1 2 3 --in-place --frob in.bmp", "unknown option --frob"},
#ifndef _WIN32
        {"copy in.bmp", kNoClipboard},
#endif
    };
    ASSERT_EQ(std::size(kCounts), kCommands.size());
    // Every command is held to its count of words, one too few and one too many.
    for (size_t c = 0; c < kCommands.size(); ++c) {
        const WordCount& count = kCounts[c];
        const std::string words = " in.bmp in.bmp in.bmp in.bmp in.bmp in.bmp";
        const std::string takes = count.command + " takes " + kCommands[c].words;
        cases.push_back({count.command + words.substr(0, 7 * (count.fewest - 1)), takes});
        if (count.most > 0)
            cases.push_back({count.command + words.substr(0, 7 * (count.most + 1)), takes});
    }
    for (const auto& row : cases) {
        SCOPED_TRACE(row.line);
        ScratchDir dir;
        std::string text;
        ASSERT_TRUE(WriteFileBytes(dir.Path("in.bmp"), MakeBmp(3, 3)));
        ASSERT_TRUE(WriteFileBytes(dir.Path("bad.bmp"), Bytes(60, 0)));
        ASSERT_TRUE(WriteFileBytes(dir.Path("out.bmp"), MakeBmp(2, 2)));
        const bool usage = row.says.find("cannot ") != 0 && row.says != kNoClipboard;
        EXPECT_EQ(RunIn(dir, row.line, &text), usage ? kExitUsage : kExitFileError);
        EXPECT_EQ(ReadFileBytes(dir.Path("in.bmp")), MakeBmp(3, 3));
        EXPECT_EQ(ReadFileBytes(dir.Path("out.bmp")), MakeBmp(2, 2));
        const std::string help = usage ? "\nTry 'velmora-cli --help'.\n" : "\n";
        EXPECT_EQ(text, "|velmora-cli: " + row.says + help);
    }
}

// add-all's outputs equal add's. Falling widths show stale bytes in the reused buffer, odd files
// end past the rows, names end in ソ (code page 932's second byte '\'), one has a '/', and the
// others start with a dash, files after "--".
TEST(CliTest, AddAllMatchesAddAndOutlivesAFailure) {
    ScratchDir dir;
    WorkingIn here(dir.root);  // so that the names reach the system as the program gets them
    std::string text;
    std::string files;
    ASSERT_TRUE(std::filesystem::create_directory("out"));
    ASSERT_TRUE(WriteFileBytes("bad.bmp", Bytes(40, 1)));
    ASSERT_TRUE(WriteFileBytes("out/bad.bmp", MakeBmp(2, 1)));
    for (int i = 0; i < 6; ++i) {
        const std::string f = "-" + std::to_string(i) + "ソ.bmp";
        Bytes bmp = MakeBmp(40 - 7 * i, 3);
        bmp.resize(bmp.size() + i % 2, 9);
        ASSERT_TRUE(WriteFileBytes(f, bmp));
        ASSERT_EQ(RunIn(dir, "add " + f + " w" + f + " 40 -256 7", &text), kExitOk) << text;
        files += (i ? " " : " ../" + fs::path(dir.root).filename().string() + "/") + f;
    }
    EXPECT_EQ(RunIn(dir, "add-all 40 -256 7 -j3 --to out -- bad.bmp" + files, &text), 1);
    EXPECT_EQ(text,
              "6 done, 1 failed\n|velmora-cli: cannot load bad.bmp: not a 24 bits per "
              "pixel BMP file\n");
    EXPECT_EQ(ReadFileBytes("out/bad.bmp"), MakeBmp(2, 1));
    EXPECT_EQ(RunIn(dir, "add-all 40 -256 7 --in-place -j 1 --" + files, &text), kExitOk);
    for (int i = 0; i < 6; ++i) {
        const std::string f = "-" + std::to_string(i) + "ソ.bmp";
        const Bytes want = ReadFileBytes("w" + f);
        EXPECT_EQ(ReadFileBytes(f), want) << f;
        EXPECT_EQ(ReadFileBytes("out/" + f), want) << f;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("out"), {}), 7);
}

#ifndef _WIN32
constexpr uid_t kAsMade = uid_t(-1);  // to chown: the owner stays
constexpr uid_t kNobody = 65534;
// d/link.bmp leads to d/real.bmp, or on through e/mid.bmp (a link to "real.bmp") to e/real.bmp.
struct LinkCase {
    const char* name;
    const char* to;     // the link's text ('/' is the scratch folder); null: a hard link
    mode_t folderMode;  // of d
    uid_t folderOwner;
    uid_t linkOwner;
    const char* lands;  // the file that gets the new 5x4 picture; null: refused, nothing changed
};

// Saved whole, streamed or in a batch, a picture goes to the file at the end of the links, which
// stay; a hard link, or a link to what is not a file, gets a file of its own.
TEST(CliTest, SavesThroughLinksTheSystemWouldFollow) {
    const LinkCase cases[] = {
        {"a link beside its file", "real.bmp", 0755, kAsMade, kAsMade, "d/real.bmp"},
        {"links via another folder", "/e/mid.bmp", 0755, kAsMade, kAsMade, "e/real.bmp"},
        {"a hard link", nullptr, 0755, kAsMade, kAsMade, "d/link.bmp"},
        {"a link to a pipe", "pipe", 0755, kAsMade, kAsMade, "d/link.bmp"},
        {"another's link in a sticky folder", "real.bmp", 01777, kAsMade, kNobody, nullptr},
        {"another's link, not sticky", "real.bmp", 0777, kAsMade, kNobody, "d/real.bmp"},
        {"the sticky folder's owner's link", "real.bmp", 01777, kNobody, kNobody, "d/real.bmp"},
        {"one's own link in another's folder", "real.bmp", 01777, kNobody, kAsMade, "d/real.bmp"},
    };
    const bool root = geteuid() == 0;
    for (const char* save : {"add in.bmp d/link.bmp 5 0 -9", "stamp in.bmp d/link.bmp 5 0 -9 3 1,1",
                             "add-all 5 0 -9 --to d link.bmp"}) {
        for (const LinkCase& row : cases) {
            if (!root && (row.folderOwner == kNobody || row.linkOwner == kNobody))
                continue;
            SCOPED_TRACE(std::string(row.name) + ": " + save);
            ScratchDir dir;
            std::string text;
            const std::string saved = dir.Path("d/link.bmp");
            fs::create_directories(dir.Path("d"));
            fs::create_directories(dir.Path("e"));
            // 5x4 pictures to save from, 2x4 ones in the way
            for (const char* file : {"in.bmp", "link.bmp", "d/real.bmp", "e/real.bmp"})
                ASSERT_TRUE(WriteFileBytes(dir.Path(file), MakeBmp(file[1] == '/' ? 2 : 5, 4)));
            fs::create_symlink("real.bmp", dir.Path("e/mid.bmp"));
            ASSERT_EQ(mkfifo(dir.Path("d/pipe").c_str(), 0666), 0);
            const std::string to = !row.to ? "" : row.to[0] == '/' ? dir.root + row.to : row.to;
            if (row.to == nullptr)
                fs::create_hard_link(dir.Path("d/real.bmp"), saved);
            else
                fs::create_symlink(to, saved);
            ASSERT_EQ(lchown(saved.c_str(), row.linkOwner, kAsMade), 0);
            ASSERT_EQ(chown(dir.Path("d").c_str(), row.folderOwner, kAsMade), 0);
            ASSERT_EQ(chmod(dir.Path("d").c_str(), row.folderMode), 0);
            EXPECT_EQ(RunIn(dir, save, &text), row.lands ? kExitOk : kExitFileError) << text;
            const std::string refusal =
                "velmora-cli: cannot save d/link.bmp: another user's link in a shared folder\n";
            EXPECT_EQ(text.substr(text.find('|') + 1), row.lands ? "" : refusal);
            // d/link.bmp reads as whichever file got the 5x4 picture.
            for (const std::string file : {"d/link.bmp", "d/real.bmp", "e/real.bmp"}) {
                const bool fresh = row.lands && (file == "d/link.bmp" || file == row.lands);
                EXPECT_EQ(ReadFileBytes(dir.Path(file)).size(), fresh ? 118u : 86u) << file;
            }
            std::error_code unlinked;  // no link text, where the save took the link's place
            const bool replaced = row.lands && std::strcmp(row.lands, "d/link.bmp") == 0;
            EXPECT_EQ(fs::read_symlink(saved, unlinked).string(), replaced ? "" : to);
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("d")), {}), 3);
        }
    }
    if (!root)
        GTEST_SKIP() << "another user's links need root, to give them to nobody";
}
#endif
