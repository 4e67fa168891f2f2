// velmora-cli's entry on real files.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "cli/cli.h"
#include "tests/support/models.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

// Runs velmora-cli with the words of `line` in the folder; stdout, "|", stderr come back.
static int RunIn(const ScratchDir& dir, const std::string& line, std::string* text) {
    WorkingIn here(dir.root);
    std::deque<std::string> words{"velmora-cli"};  // a deque, so that argv's pointers stay good
    std::vector<const char*> argv{words[0].c_str()};
    for (std::istringstream split(line); std::getline(split, words.emplace_back(), ' ');)
        argv.push_back(words.back().c_str());
    argv.push_back(nullptr);  // as a program's own argv ends
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

// Each line exits and speaks as the README says, and a refusal moves nothing; "-" is piped apart.
TEST(CliTest, AnswersAsTheReadmeSays) {
    const std::string noClipboard = "no clipboard on this platform";
    struct Run {
        std::string line;
        std::string says;   // refused: the line on standard error after "velmora-cli: "
        bool done = false;  // done: a part of standard output, "|", then standard error
    };
    std::vector<Run> runs = {
        {"info in.bmp", "3x3\n|", true},
        {"--help", "[X,Y ...]  one pen stamp per point\n", true},  // just fits beside its words
        {"--help", "FILE...\n                                  add R G B to many", true},  // below
        {"stamp in.bmp new.bmp -90 90 200 4 0,0 8,5 4,3 4,3 -2147483648,2147483647", "", true},
#ifndef _WIN32
        {"copy in.bmp", noClipboard},
#endif
        {"", "no command given"},
        {"add in.bmp out.bmp 257 0 0", "R must be -256..256, not 257"},
        {"add in.bmp out.bmp 1 \t1 1", "G must be -256..256, not \t1"},
        {"add in.bmp out.bmp 1 1 1x", "B must be -256..256, not 1x"},
        {"stamp in.bmp out.bmp 1 1 1 17 0,0", "PEN must be 1..16, not 17"},
        {"stamp in.bmp out.bmp 1 1 1 3 0,0 1;1", "1;1 is not a point X,Y"},
        {"stamp missing.bmp out.bmp 1 1 1 3 0,0", "cannot load missing.bmp: no such file"},
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
    };
    // Each command with a word fewer, and more unless it takes any number, than the README says.
    const std::vector<int> wrongCounts[] = {{0, 2}, {4, 6}, {6}, {0, 2}, {0, 2}, {2}};
    const std::string words = " in.bmp in.bmp in.bmp in.bmp in.bmp in.bmp";
    ASSERT_EQ(std::size(wrongCounts), kCommands.size());
    for (size_t c = 0; c < kCommands.size(); ++c) {
        const std::string takes = kCommands[c].name + std::string(" takes ") + kCommands[c].words;
        for (const int n : wrongCounts[c])
            runs.push_back({kCommands[c].name + words.substr(0, 7 * n), takes});
    }
    ScratchDir dir;
    std::string text;
    ASSERT_TRUE(WriteFileBytes(dir.Path("in.bmp"), MakeBmp(3, 3)));
    ASSERT_TRUE(WriteFileBytes(dir.Path("bad.bmp"), Bytes(60, 0)));
    ASSERT_TRUE(WriteFileBytes(dir.Path("out.bmp"), MakeBmp(2, 2)));
    for (const auto& row : runs) {
        SCOPED_TRACE(row.line);
        const bool usage = row.says.find("cannot ") != 0 && row.says != noClipboard;
        const int code = row.done ? kExitOk : usage ? kExitUsage : kExitFileError;
        EXPECT_EQ(RunIn(dir, row.line, &text), code);
        EXPECT_EQ(ReadFileBytes(dir.Path("in.bmp")), MakeBmp(3, 3));
        EXPECT_EQ(ReadFileBytes(dir.Path("out.bmp")), MakeBmp(2, 2));
        const std::string help = usage ? "\nTry 'velmora-cli --help'.\n" : "\n";
        if (row.done)
            EXPECT_NE(text.find(row.says), std::string::npos) << text;
        else
            EXPECT_EQ(text, "|velmora-cli: " + row.says + help);
    }
}

// add-all's outputs equal add's. Falling widths show stale bytes in the reused buffer; names end
// in ソ (code page 932's second byte '\'), start with a dash, come after "--", and one has a '/'.
TEST(CliTest, AddAllMatchesAddAndOutlivesAFailure) {
    ScratchDir dir;
    WorkingIn here(dir.root);  // so that the names reach the system as the program gets them
    std::string text;
    const std::string names[] = {"-0ソ.bmp", "-1ソ.bmp", "-2ソ.bmp"};
    const std::string files =
        " ../" + fs::path(dir.root).filename().string() + "/-0ソ.bmp -1ソ.bmp -2ソ.bmp";
    ASSERT_TRUE(std::filesystem::create_directory("out"));
    ASSERT_TRUE(WriteFileBytes("bad.bmp", Bytes(40, 1)));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteFileBytes(names[i], MakeBmp(9 - 3 * i, 3)));
        ASSERT_EQ(RunIn(dir, "add " + names[i] + " w" + names[i] + " 40 -256 7", &text), kExitOk);
    }
    EXPECT_EQ(RunIn(dir, "add-all 40 -256 7 -j2 --to out -- bad.bmp" + files, &text), 1);
    EXPECT_EQ(text,
              "3 done, 1 failed\n|velmora-cli: cannot load bad.bmp: not a 24 bits per pixel "
              "BMP file\n");
    EXPECT_EQ(RunIn(dir, "add-all 40 -256 7 --in-place -j 1 --quiet --" + files, &text), kExitOk);
    for (const std::string& f : names) {
        EXPECT_EQ(ReadFileBytes(f), ReadFileBytes("w" + f)) << f;
        EXPECT_EQ(ReadFileBytes("out/" + f), ReadFileBytes("w" + f)) << f;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("out"), {}), 3);
}

#ifndef _WIN32
constexpr char kAdd[] = "add in.bmp d/link.bmp 5 0 -9";
constexpr char kStamp[] = "stamp in.bmp d/link.bmp 5 0 -9 3 1,1";
constexpr char kBatch[] = "add-all 5 0 -9 --to d link.bmp";
constexpr char kForeign[] =
    "velmora-cli: cannot save d/link.bmp: another user's link in a shared folder\n";

// A save lands at the end of the links, which stay; a hard link, or a link to what is not a
// file, gets a file of its own.
TEST(CliTest, SavesThroughLinksTheSystemWouldFollow) {
    constexpr uid_t kAsMade = uid_t(-1);  // to chown: the owner stays
    constexpr uid_t kNobody = 65534;
    const struct {
        const char* name;
        const char* save;
        const char* to;     // d/link.bmp's text; null: a hard link to d/real.bmp
        mode_t folderMode;  // of d
        uid_t folderOwner;
        uid_t linkOwner;
        const char* lands;  // the file that gets the new 5x4 picture; null: refused
    } cases[] = {
        {"links via another folder", kBatch, "../e/mid.bmp", 0755, kAsMade, kAsMade, "e/real.bmp"},
        {"a hard link", kStamp, nullptr, 0755, kAsMade, kAsMade, "d/link.bmp"},
        {"a link to a pipe", kAdd, "pipe", 0755, kAsMade, kAsMade, "d/link.bmp"},
        {"another's link in a sticky folder", kBatch, "real.bmp", 01777, kAsMade, kNobody, nullptr},
        {"the folder owner's link", kAdd, "real.bmp", 01777, kNobody, kNobody, "d/real.bmp"},
        {"own link in a sticky folder", kStamp, "real.bmp", 01777, kNobody, kAsMade, "d/real.bmp"},
    };
    for (const auto& row : cases) {
        if (geteuid() != 0 && (row.folderOwner == kNobody || row.linkOwner == kNobody))
            continue;  // only root can give a link or a folder to nobody
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        WorkingIn here(dir.root);
        std::string text;
        fs::create_directories("d");
        fs::create_directories("e");
        // 5x4 pictures to save from, 2x4 ones in the way
        for (const char* file : {"in.bmp", "link.bmp", "d/real.bmp", "e/real.bmp"})
            ASSERT_TRUE(WriteFileBytes(file, MakeBmp(file[1] == '/' ? 2 : 5, 4)));
        fs::create_symlink("real.bmp", "e/mid.bmp");  // read from its own folder
        ASSERT_EQ(mkfifo("d/pipe", 0666), 0);
        if (row.to == nullptr)
            fs::create_hard_link("d/real.bmp", "d/link.bmp");
        else
            fs::create_symlink(row.to, "d/link.bmp");
        ASSERT_EQ(lchown("d/link.bmp", row.linkOwner, kAsMade), 0);
        ASSERT_EQ(chown("d", row.folderOwner, kAsMade), 0);
        ASSERT_EQ(chmod("d", row.folderMode), 0);
        EXPECT_EQ(RunIn(dir, row.save, &text), row.lands ? kExitOk : kExitFileError) << text;
        EXPECT_EQ(text.substr(text.find('|') + 1), row.lands ? "" : kForeign);
        // d/link.bmp reads as whichever file got the 5x4 picture.
        for (const std::string file : {"d/link.bmp", "d/real.bmp", "e/real.bmp"}) {
            const bool fresh = row.lands && (file == "d/link.bmp" || file == row.lands);
            EXPECT_EQ(ReadFileBytes(file).size(), fresh ? 118u : 86u) << file;
        }
        std::error_code unlinked;  // no link text, where the save took the link's place
        const bool replaced = row.lands && std::string(row.lands) == "d/link.bmp";
        EXPECT_EQ(fs::read_symlink("d/link.bmp", unlinked).string(), replaced ? "" : row.to);
    }
}
#endif
