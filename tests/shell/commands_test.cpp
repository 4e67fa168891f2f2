// The menu commands and drops on the real MainFrame, with the real clipboard and the real file
// dialogs and message boxes, answered from a thread timer that their own modal loops dispatch.
#include "tests/shell/shell_fixture.h"

#include <dlgs.h>
#include <shlobj.h>

#include "image/bmp_file.h"
#include "shell/commands.h"

namespace {

// Answers, one a dialog in order: a name for a file dialog to take ("" cancels; "2>" first
// chooses the second filter), or '#' and a button for a message box. Each dialog shown is
// recorded as "caption|text;", "caption|N;" for a file dialog showing filter N; one whose kind
// does not match the next answer is cancelled and recorded after a '!'.
std::vector<std::string> g_answers;
std::string g_shown;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow();
    char kind[8] = "";
    GetClassNameA(dialog, kind, sizeof kind);
    if (std::string(kind) != "#32770" || GetPropA(dialog, "answered")) {
        return;
    }
    SetPropA(dialog, "answered", dialog);
    HWND types = GetDlgItem(dialog, cmb1);
    const bool fits = !g_answers.empty() && (g_answers[0][0] == '#') == (types == nullptr);
    std::string answer = fits ? g_answers[0] : "";
    g_shown += (fits ? "" : "!") + WindowText(dialog) + "|" +
               (types ? std::to_string(SendMessageA(types, CB_GETCURSEL, 0, 0) + 1)
                      : WindowText(GetDlgItem(dialog, 0xFFFF))) +
               ";";
    if (fits) {
        g_answers.erase(g_answers.begin());
    }
    if (answer.rfind("2>", 0) == 0) {
        answer.erase(0, 2);
        SendMessageA(types, CB_SETCURSEL, 1, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), (LPARAM)types);
    }
    SetDlgItemTextA(dialog, cmb13, answer.c_str());
    PostMessageA(dialog, WM_COMMAND,
                 answer[0] == '#' ? atoi(&answer[1])
                 : answer.empty() ? IDCANCEL
                                  : IDOK,
                 0);
}

class CommandsTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Start();
        g_openUrl = [](const char* url) { g_shown += url; };
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("wide.bmp"), MakeBmp(7, 2));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o'});
    }
    std::string Path(const std::string& name) const { return scratch.Path(name); }
    // Runs one command as the menu delivers it and answers its dialogs; a name without a drive
    // is in the scratch folder.
    std::string Run(int command, std::vector<std::string> answers = {}) {
        for (std::string& a : answers) {
            if (a.find_first_of("#:") == std::string::npos && !a.empty()) {
                a.insert(a.rfind('>') + 1, Path(""));
            }
        }
        g_answers = answers;
        g_shown.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 40, AnswerDialog);
        SendMessageA(g_mainWindow, WM_COMMAND, command, 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_answers.empty()) << command << " showed fewer dialogs: " << g_shown;
        EXPECT_EQ(std::string::npos, g_shown.find('!')) << command << " showed " << g_shown;
        return g_shown;
    }
    // A drop handle as the shell builds it; the window frees it.
    void Drop(const std::vector<std::string>& paths) {
        std::string names;
        for (const std::string& p : paths) {
            names += p + '\0';
        }
        HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 1);
        auto* header = static_cast<DROPFILES*>(GlobalLock(block));
        header->pFiles = sizeof(DROPFILES);
        memcpy(header + 1, names.data(), names.size());
        GlobalUnlock(block);
        SendMessageA(g_mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
    }
    void ExpectCurrentFile(const std::string& path) {
        EXPECT_EQ(path, g_currentFileName);
        EXPECT_EQ("Velmora - " + path, WindowText(g_mainWindow));
    }
    ScratchDir scratch;
};

// Who changes the modified flag and the current file name, each from a clean and from a
// painted start, so that "set" and "cleared" are told from "unchanged".
TEST_F(CommandsTest, ModifiedFlagAndCurrentFileName) {
    enum { kSame, kSet, kCleared };
    const struct {
        const char* start;
        std::function<void()> act;
        int flag;
        const char* end;  // nullptr: unchanged
    } rows[] = {
        {"small.bmp", [&] { SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, 0); }, kSet, nullptr},
        {"small.bmp", [&] { Run(IDM_OPEN, {"wide.bmp"}); }, kCleared, "wide.bmp"},
        {"small.bmp",
         [&] {
             Drop({Path("wide.bmp"), Path("notes.txt")});
         },
         kCleared, "wide.bmp"},
        {"small.bmp", [&] { Run(IDM_SAVE_AS, {"saved"}); }, kCleared, "saved.bmp"},
        {"", [&] { Run(IDM_OVERWRITE_SAVE, {"fresh"}); }, kCleared, "fresh.bmp"},
        {"small.bmp", [&] { Run(IDM_OVERWRITE_SAVE); }, kCleared, nullptr},
        {"small.bmp", [&] { Run(IDM_COPY_BITMAP), Run(IDM_PASTE_BITMAP); }, kSame, ""},
        {"small.bmp",
         [&] {
             Run(IDM_WHOLE_IMAGE), Run(IDM_OPEN, {"notes.txt"}), Run(IDM_OPEN, {""});
             Run(IDM_SAVE_AS, {""}), Drop({Path("notes.txt"), Path("wide.bmp")}), Run(999);
             OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard(), Run(IDM_PASTE_BITMAP);
         },
         kSame, nullptr},
        {"", [&] { Run(IDM_OVERWRITE_SAVE, {""}); }, kSame, nullptr},
        {"gone\\small.bmp", [&] { Run(IDM_OVERWRITE_SAVE, {"#1"}); }, kSame, nullptr},
    };
    for (const bool painted : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::to_string(&row - rows) + (painted ? " painted" : " clean"));
            DeleteFileA(Path("saved.bmp").c_str());  // new names, or the dialog would ask
            DeleteFileA(Path("fresh.bmp").c_str());
            const std::string start = *row.start ? Path(row.start) : "";
            lstrcpyA(g_currentFileName, start.c_str());
            UpdateTitle();
            g_modified = painted;
            row.act();
            EXPECT_EQ(row.flag == kSame ? painted : row.flag == kSet, g_modified);
            ExpectCurrentFile(!row.end ? start : *row.end ? Path(row.end) : "");
        }
    }
}

// Save-as appends ".bmp" only with the bitmap filter and only to a name not ending in it in any
// case, asking itself whether to replace a file so named; a name with no room for it is not
// saved. The filter chosen carries over to the next save-as; open starts from the bitmap one.
TEST_F(CommandsTest, SaveAsNamesTheFileItWrites) {
    const std::string full = Path(std::string(253 - Path("").size(), 'n'));
    const std::string replace =
        "確認|" + Path("plain.bmp") + " は既に存在します。\n上書きしますか？;";
    const struct {
        int command;
        std::vector<std::string> answers;
        std::string shown, name;
    } steps[] = {
        {IDM_SAVE_AS, {"plain"}, "保存|1;", "plain.bmp"},
        {IDM_SAVE_AS, {"X.BMP"}, "保存|1;", "X.BMP"},
        {IDM_SAVE_AS, {"memo.txt"}, "保存|1;", "memo.txt.bmp"},
        {IDM_SAVE_AS, {"bmp"}, "保存|1;", "bmp.bmp"},
        {IDM_SAVE_AS, {"2>raw"}, "保存|1;", "raw"},
        {IDM_SAVE_AS, {"raw.txt"}, "保存|2;", "raw.txt"},
        {IDM_OPEN, {"2>wide.bmp"}, "開く|1;", "wide.bmp"},
        {IDM_SAVE_AS, {"first"}, "保存|2;", "first"},
        {IDM_OPEN, {"small.bmp"}, "開く|1;", "small.bmp"},
        {IDM_SAVE_AS, {"plain", "#7"}, "保存|1;" + replace, "small.bmp"},
        {IDM_SAVE_AS, {"plain", "#6"}, "保存|1;" + replace, "plain.bmp"},
        {IDM_SAVE_AS, {"X.BMP", "#6"}, "保存|1;", "X.BMP"},  // the dialog's own question
        {IDM_SAVE_AS, {full}, "保存|1;", "X.BMP"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.answers[0]);
        EXPECT_EQ(s.shown, Run(s.command, s.answers).substr(0, s.shown.size()));
        ExpectCurrentFile(Path(s.name));
        ScopedImage saved;
        EXPECT_TRUE(LoadBmp(saved.image, g_currentFileName));
        EXPECT_EQ(g_image.GetHeight(), saved.image.GetHeight());
    }
    EXPECT_EQ(full.substr(Path("").size()), g_dialogFileTitle) << "appended past the name";
}

// A drop opens only the first file, and not one whose name does not fit whole; every new
// picture refits the canvas's scroll bars.
TEST_F(CommandsTest, DropsBoxesAndNewPictures) {
    WriteFileBytes(Path("big.bmp"), MakeBmp(900, 700));
    const std::string cut = Path(std::string(255 - Path("").size(), 'c'));
    WriteFileBytes(cut, MakeBmp(9, 9));
    auto range = [] {
        int low = 0, high = 0;
        GetScrollRange(g_canvas, SB_VERT, &low, &high);
        return high;
    };
    Drop({Path("big.bmp"), Path("small.bmp")});
    EXPECT_EQ(700, range());
    Run(IDM_COPY_BITMAP);
    Drop({cut + "ccc.bmp"});
    Drop({Path("missing.bmp"), Path("small.bmp")});
    ExpectCurrentFile(Path("big.bmp"));
    EXPECT_EQ(Path("big.bmp"), g_dialogFile);  // the next dialog proposes the dropped file
    Drop({Path("small.bmp")});
    EXPECT_EQ(0, range());
    Run(IDM_PASTE_BITMAP);
    EXPECT_EQ(700, range());
    Run(IDM_OPEN, {"small.bmp"});
    EXPECT_EQ(0, range());
    EXPECT_EQ("画像サイズ|幅：5ピクセル　高さ：3ピクセル;", Run(IDM_IMAGE_SIZE, {"#1"}));
    EXPECT_EQ(0u, Run(IDM_VERSION_INFO, {"#1"}).rfind("バージョン情報|Velmora 05 ", 0));
    EXPECT_EQ("https://velmora.example.com/", Run(IDM_AUTHOR_SITE));
    Run(IDM_EXIT);
    EXPECT_FALSE(IsWindow(g_mainWindow));
}

}  // namespace
