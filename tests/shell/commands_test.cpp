// The menu commands, menu enabling and drops on the real MainFrame. The real file dialogs and
// message boxes are answered from a thread timer that their own modal loops dispatch; the
// clipboard is the real one.
#include <windows.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_image.h"
#include "shell/commands.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_files.h"

namespace {

struct DialogAnswer {
    bool fileDialog;
    int button;         // IDOK, IDCANCEL, IDYES, IDNO
    std::string typed;  // file dialog: the text typed into the file name box
    int filter;         // file dialog: 1-based filter chosen before the button; 0 leaves it
};
DialogAnswer FileOk(const std::string& path, int filter = 0) {
    return {true, IDOK, path, filter};
}
const DialogAnswer kFileCancel = {true, IDCANCEL, "", 0};
DialogAnswer Box(int button) {
    return {false, button, "", 0};
}

struct SeenDialog {
    std::string caption;
    std::string text;     // message box text
    int filterShown = 0;  // file dialog: the 1-based filter selected when it appeared
};

// Arms a thread timer for its lifetime; each tick answers at most one newly shown dialog of
// this thread, taking the answers in order. A dialog of the wrong kind, or one left without an
// answer, is closed with its least-changing button (and so is every dialog under it) and
// counted, so a wrong command fails the test instead of hanging it.
struct DialogScript {
    explicit DialogScript(std::vector<DialogAnswer> answers) : pending(std::move(answers)) {
        current = this;
        timer = SetTimer(nullptr, 0, 40, [](HWND, UINT, UINT_PTR, DWORD) { current->Step(); });
    }
    ~DialogScript() { KillTimer(nullptr, timer); }

    void Step() {
        std::vector<HWND> dialogs;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM list) -> BOOL {
                char cls[32] = "";
                GetClassNameA(window, cls, sizeof cls);
                if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
                    IsWindowEnabled(window)) {
                    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            const bool isFile = GetDlgItem(dialog, cmb13) != nullptr;
            HWND text = GetDlgItem(dialog, 0xFFFF);
            const bool isNew = std::find(handled.begin(), handled.end(), dialog) == handled.end();
            if (!aborting && (!isNew || (!isFile && text == nullptr))) {
                continue;  // answered already, or not built far enough yet
            }
            handled.push_back(dialog);
            if (!aborting) {
                seen.push_back({WindowText(dialog), isFile ? "" : WindowText(text),
                                isFile ? static_cast<int>(SendDlgItemMessageA(dialog, cmb1,
                                                                              CB_GETCURSEL, 0, 0)) +
                                             1
                                       : 0});
                if (next < pending.size() && pending[next].fileDialog == isFile) {
                    Answer(dialog, pending[next++]);
                    return;
                }
                ++unexpected;
                aborting = true;
            }
            const int button = GetDlgItem(dialog, IDCANCEL) ? IDCANCEL
                               : GetDlgItem(dialog, IDNO)   ? IDNO
                                                            : IDOK;
            PostMessageA(dialog, WM_COMMAND, button, 0);
        }
    }

    static void Answer(HWND dialog, const DialogAnswer& answer) {
        if (answer.fileDialog && answer.filter > 0) {
            HWND types = GetDlgItem(dialog, cmb1);
            SendMessageA(types, CB_SETCURSEL, answer.filter - 1, 0);
            // As a user's choice ends: the selection changes, then is confirmed (Wine's dialog
            // takes the new filter on the confirmation).
            for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK}) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, code),
                             reinterpret_cast<LPARAM>(types));
            }
        }
        if (answer.fileDialog && answer.button == IDOK) {
            SetWindowTextA(GetDlgItem(dialog, cmb13), answer.typed.c_str());
        }
        PostMessageA(dialog, WM_COMMAND, answer.button, 0);
    }

    static DialogScript* current;
    std::vector<DialogAnswer> pending;
    size_t next = 0;
    std::vector<SeenDialog> seen;
    int unexpected = 0;
    std::vector<HWND> handled;
    UINT_PTR timer = 0;
    bool aborting = false;
};
DialogScript* DialogScript::current = nullptr;

// A real drop handle as the shell builds it: DROPFILES, then the names each ending in a zero
// byte, the list in one more. The window's handler frees it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t chars = 1;
    for (const std::string& p : paths) {
        chars += p.size() + 1;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    char* names = reinterpret_cast<char*>(header + 1);
    for (const std::string& p : paths) {
        std::memcpy(names, p.c_str(), p.size() + 1);
        names += p.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

void EmptyTheClipboard() {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

void PutPictureOnClipboard(int32_t width, int32_t height) {
    ScopedImage picture;
    ASSERT_TRUE(picture.image.Create(width, height));
    FillPattern(picture.image);
    bool published = false;
    CopyToClipboard(picture.image, &published);
    ASSERT_TRUE(published);
}

std::vector<std::string> g_openedUrls;

bool IsPictureOf(const std::string& path, int32_t width, int32_t height) {
    ScopedImage loaded;
    return LoadBmp(loaded.image, path.c_str()) && loaded.image.GetWidth() == width &&
           loaded.image.GetHeight() == height;
}

int ScrollRange(int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    return GetScrollInfo(g_canvas, bar, &info) ? info.nMax : 0;  // 0 also when there is no bar
}

class CommandsTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        frame = Start();
        ASSERT_NE(frame, nullptr);
        g_openUrl = [](const char* url) { g_openedUrls.push_back(url); };
        g_openedUrls.clear();
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("wide.bmp"), MakeBmp(7, 2));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o', 't', ' ', 'b', 'm', 'p'});
    }

  public:
    std::string Path(const std::string& name) const { return scratch.Path(name); }

    // Runs one command the way the menu delivers it, answering its dialogs in order; a typed
    // name without a drive is in the scratch folder.
    std::vector<SeenDialog> Run(int command, std::vector<DialogAnswer> answers = {}) {
        for (DialogAnswer& a : answers) {
            if (!a.typed.empty() && a.typed.find(':') == std::string::npos) {
                a.typed = Path(a.typed);
            }
        }
        DialogScript script(std::move(answers));
        SendMessageA(frame, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        PumpMessages();
        EXPECT_EQ(script.next, script.pending.size())
            << "command " << command << " showed fewer dialogs";
        EXPECT_EQ(script.unexpected, 0) << "command " << command << " showed another dialog";
        return script.seen;
    }
    void Drop(const std::vector<std::string>& paths) {
        SendMessageA(frame, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
        PumpMessages();
    }
    void Stamp() {
        SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        SendMessageA(g_canvas, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        PumpMessages();
    }
    // Whether the item is enabled once the popup at this menu bar position opens.
    bool EnabledAfterOpening(int popupIndex, UINT command) {
        HMENU popup = GetSubMenu(GetMenu(frame), popupIndex);
        SendMessageA(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                     MAKELPARAM(popupIndex, 0));
        return (GetMenuState(popup, command, MF_BYCOMMAND) & MF_GRAYED) == 0;
    }
    void SetCurrentFile(const std::string& path) {
        lstrcpyA(g_currentFileName, path.c_str());
        UpdateTitle();
    }
    // The current file name and the title that must carry it.
    void ExpectCurrentFile(const std::string& path) {
        EXPECT_EQ(std::string(g_currentFileName), path);
        EXPECT_EQ(WindowText(frame), "Velmora - " + path);
    }

    ScratchDir scratch;
    HWND frame = nullptr;
};

// Who changes the modified flag and the current file name: one row per event, each run from a
// clean and from a painted start so "set" and "cleared" are told apart from "unchanged".
enum class Flag { kSet, kCleared, kUnchanged };
using Act = std::function<void(CommandsTest&)>;

Act Do(int command, std::vector<DialogAnswer> answers = {}) {
    return [command, answers](CommandsTest& t) { t.Run(command, answers); };
}
Act DropOf(const char* name) {
    return [name](CommandsTest& t) { t.Drop({t.Path(name)}); };
}
Act Paste(bool picture) {
    return [picture](CommandsTest& t) {
        picture ? PutPictureOnClipboard(9, 4) : EmptyTheClipboard();
        t.Run(IDM_PASTE_BITMAP);
    };
}

// Who changes the modified flag and the current file name: one row per event, each run from a
// clean and from a painted start so "set" and "cleared" are told apart from "unchanged".
TEST_F(CommandsTest, ModifiedFlagAndCurrentFileNameTable) {
    const Flag kSet = Flag::kSet, kCleared = Flag::kCleared, kSame = Flag::kUnchanged;
    const struct {
        const char* name;
        const char* startFile;  // relative to the scratch folder; "" for none
        Act act;
        Flag flag;
        const char* endFile;  // nullptr: unchanged; "": emptied; else in the scratch folder
    } rows[] = {
        {"stamp", "small.bmp", [](CommandsTest& t) { t.Stamp(); }, kSet, nullptr},
        {"open", "small.bmp", Do(IDM_OPEN, {FileOk("wide.bmp")}), kCleared, "wide.bmp"},
        {"drop", "small.bmp", DropOf("wide.bmp"), kCleared, "wide.bmp"},
        {"save as", "small.bmp", Do(IDM_SAVE_AS, {FileOk("saved")}), kCleared, "saved.bmp"},
        {"overwrite save, no file", "", Do(IDM_OVERWRITE_SAVE, {FileOk("fresh")}), kCleared,
         "fresh.bmp"},
        {"overwrite save", "small.bmp", Do(IDM_OVERWRITE_SAVE), kCleared, nullptr},
        {"paste", "small.bmp", Paste(true), kSame, ""},
        {"whole image", "small.bmp", Do(IDM_WHOLE_IMAGE), kSame, nullptr},
        {"copy", "small.bmp", Do(IDM_COPY_BITMAP), kSame, nullptr},
        {"image size", "small.bmp", Do(IDM_IMAGE_SIZE, {Box(IDOK)}), kSame, nullptr},
        {"version", "small.bmp", Do(IDM_VERSION_INFO, {Box(IDOK)}), kSame, nullptr},
        {"web site", "small.bmp", Do(IDM_AUTHOR_SITE), kSame, nullptr},
        {"open fails", "small.bmp", Do(IDM_OPEN, {FileOk("notes.txt")}), kSame, nullptr},
        {"open cancelled", "small.bmp", Do(IDM_OPEN, {kFileCancel}), kSame, nullptr},
        {"drop fails", "small.bmp", DropOf("notes.txt"), kSame, nullptr},
        {"save as cancelled", "small.bmp", Do(IDM_SAVE_AS, {kFileCancel}), kSame, nullptr},
        {"overwrite dialog cancelled", "", Do(IDM_OVERWRITE_SAVE, {kFileCancel}), kSame, nullptr},
        {"overwrite save fails", "gone\\small.bmp", Do(IDM_OVERWRITE_SAVE, {Box(IDOK)}), kSame,
         nullptr},
        {"paste fails", "small.bmp", Paste(false), kSame, nullptr},
    };
    for (const bool painted : {false, true}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (painted ? ", from painted" : ", from clean"));
            // Saved names must be new each time, or the overwrite question would come up.
            DeleteFileA(Path("saved.bmp").c_str());
            DeleteFileA(Path("fresh.bmp").c_str());
            const std::string start = row.startFile[0] == '\0' ? "" : Path(row.startFile);
            SetCurrentFile(start);
            g_modified = painted;
            row.act(*this);
            EXPECT_EQ(g_modified, row.flag == kSame ? painted : row.flag == kSet);
            ExpectCurrentFile(row.endFile == nullptr   ? start
                              : row.endFile[0] == '\0' ? ""
                                                       : Path(row.endFile));
        }
    }
}

// Save-as appends ".bmp" only with the bitmap filter and only when the name lacks it in any
// case. The filter chosen in open or save-as carries over to the next save-as; open, and an
// overwrite save without a current file name, start from the bitmap filter again.
TEST_F(CommandsTest, ExtensionRuleAndFilterCarryOver) {
    const struct {
        int command;
        const char* typed;
        int choose;           // the filter chosen in the dialog; 0 leaves it
        int shown;            // the filter the dialog came up with
        const char* written;  // save-as: the one file that must exist afterwards
    } steps[] = {
        {IDM_SAVE_AS, "plain", 0, 1, "plain.bmp"},
        {IDM_SAVE_AS, "X.BMP", 0, 1, "X.BMP"},
        {IDM_SAVE_AS, "mixed.Bmp", 0, 1, "mixed.Bmp"},
        {IDM_SAVE_AS, "memo.txt", 0, 1, "memo.txt.bmp"},
        {IDM_SAVE_AS, "bmp", 0, 1, "bmp.bmp"},
        {IDM_SAVE_AS, "raw", 2, 1, "raw"},
        {IDM_SAVE_AS, "raw.txt", 0, 2, "raw.txt"},
        {IDM_OPEN, "small.bmp", 2, 1, nullptr},
        {IDM_SAVE_AS, "first", 0, 2, "first"},
        {IDM_OPEN, "wide.bmp", 0, 1, nullptr},
        {IDM_SAVE_AS, "third", 0, 1, "third.bmp"},
        {IDM_SAVE_AS, "fourth", 2, 1, "fourth"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.typed);
        std::vector<SeenDialog> seen = Run(s.command, {FileOk(s.typed, s.choose)});
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].filterShown, s.shown);
        if (s.written != nullptr) {
            EXPECT_EQ(seen[0].caption, "保存");
            EXPECT_TRUE(FileExists(Path(s.written)));
            if (std::string(s.written) != s.typed) {
                EXPECT_FALSE(FileExists(Path(s.typed))) << "the name as typed was written too";
            }
            ExpectCurrentFile(Path(s.written));
        }
    }
    EXPECT_TRUE(IsPictureOf(Path("plain.bmp"), 128, 128));
    EXPECT_TRUE(IsPictureOf(Path("first"), 5, 3));
    EXPECT_TRUE(IsPictureOf(Path("third.bmp"), 7, 2));
    PutPictureOnClipboard(3, 3);
    Run(IDM_PASTE_BITMAP);
    std::vector<SeenDialog> seen = Run(IDM_OVERWRITE_SAVE, {FileOk("fifth")});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].filterShown, 1);
    EXPECT_TRUE(IsPictureOf(Path("fifth.bmp"), 3, 3));
}

// Appending ".bmp" names a file the dialog never asked about: the command asks itself.
TEST_F(CommandsTest, AppendedNameThatExistsIsAskedAboutFirst) {
    WriteFileBytes(Path("kept.bmp"), MakeBmp(2, 2));
    const Bytes before = ReadFileBytes(Path("kept.bmp"));
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;

    std::vector<SeenDialog> seen = Run(IDM_SAVE_AS, {FileOk("kept"), Box(IDNO)});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].caption, "確認");
    EXPECT_EQ(seen[1].text, Path("kept.bmp") + " は既に存在します。\n上書きしますか？");
    EXPECT_EQ(ReadFileBytes(Path("kept.bmp")), before);
    EXPECT_TRUE(g_modified);
    ExpectCurrentFile(Path("small.bmp"));

    EXPECT_EQ(Run(IDM_SAVE_AS, {FileOk("kept"), Box(IDYES)}).size(), 2u);
    EXPECT_TRUE(IsPictureOf(Path("kept.bmp"), 128, 128));
    EXPECT_FALSE(g_modified);
    // No question when nothing is appended: the dialog's own prompt covers that name.
    EXPECT_EQ(Run(IDM_SAVE_AS, {FileOk("new.BMP")}).size(), 1u);
}

TEST_F(CommandsTest, NameWithoutRoomForTheExtensionIsNotSaved) {
    // A full path of 253 bytes: it fits the dialog's 255, but not with ".bmp" after it.
    const std::string name(253 - Path("").size(), 'n');
    const std::string typed = Path(name);
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;

    Run(IDM_SAVE_AS, {FileOk(typed)});
    ASSERT_EQ(std::string(g_dialogFile), typed) << "the dialog did not take the name as typed";
    // The record's next buffer is intact: nothing was appended past the end of the first.
    EXPECT_EQ(std::string(g_dialogFileTitle), name);
    EXPECT_FALSE(FileExists(typed));
    EXPECT_FALSE(FileExists(typed + ".bmp"));
    EXPECT_FALSE(FileExists(typed + ".b"));
    EXPECT_TRUE(g_modified);
    ExpectCurrentFile(Path("small.bmp"));
}

TEST_F(CommandsTest, MenuGreying) {
    Run(IDM_OPEN, {FileOk("small.bmp")});
    EXPECT_FALSE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE));
    g_adjust = {10, 20, 30, 1};
    Run(IDM_WHOLE_IMAGE);
    EXPECT_FALSE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE)) << "the whole-image pass enabled it";
    Stamp();
    EXPECT_TRUE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE));
    Run(IDM_OVERWRITE_SAVE);
    EXPECT_FALSE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE));
    Run(IDM_WHOLE_IMAGE);
    EXPECT_FALSE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE));
    // The file holds both additions at the stamped pixel.
    ScopedImage saved;
    ASSERT_TRUE(LoadBmp(saved.image, Path("small.bmp").c_str()));
    uint8_t rgb[3];
    ColourAt(1, 1, rgb);
    EXPECT_EQ(saved.image.GetBlue(1, 1), ClampChannel(rgb[2] + 60));

    // Paste follows the clipboard each time the Edit popup opens.
    EmptyTheClipboard();
    EXPECT_FALSE(EnabledAfterOpening(1, IDM_PASTE_BITMAP));
    Run(IDM_COPY_BITMAP);
    EXPECT_TRUE(EnabledAfterOpening(1, IDM_PASTE_BITMAP));
    EmptyTheClipboard();
    EXPECT_FALSE(EnabledAfterOpening(1, IDM_PASTE_BITMAP));
}

TEST_F(CommandsTest, OverwriteSaveFailureShowsItsOneBox) {
    // The target's folder disappears after the open.
    ASSERT_TRUE(CreateDirectoryA(Path("gone").c_str(), nullptr));
    WriteFileBytes(Path("gone\\pic.bmp"), MakeBmp(5, 3));
    Run(IDM_OPEN, {FileOk("gone\\pic.bmp")});
    Stamp();
    ASSERT_TRUE(DeleteFileA(Path("gone\\pic.bmp").c_str()));
    ASSERT_TRUE(RemoveDirectoryA(Path("gone").c_str()));

    std::vector<SeenDialog> seen = Run(IDM_OVERWRITE_SAVE, {Box(IDOK)});
    ASSERT_EQ(seen.size(), 1u);
    // Byte for byte in code page 932: "保存に失敗しました。" and "エラー".
    EXPECT_EQ(seen[0].text,
              "\x95\xdb\x91\xb6\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42");
    EXPECT_EQ(seen[0].caption, "\x83\x47\x83\x89\x81\x5b");
    EXPECT_TRUE(g_modified);
    EXPECT_TRUE(EnabledAfterOpening(0, IDM_OVERWRITE_SAVE));
    ExpectCurrentFile(Path("gone\\pic.bmp"));
}

// Every new image refits the canvas: its scroll bars follow the new size at once.
TEST_F(CommandsTest, NewImagesRefitTheCanvas) {
    WriteFileBytes(Path("big.bmp"), MakeBmp(900, 700));
    ASSERT_LT(g_canvasWidth, 900);
    ASSERT_LT(g_canvasHeight, 700);
    Run(IDM_OPEN, {FileOk("big.bmp")});
    EXPECT_EQ(g_shownWidth, 900);
    EXPECT_EQ(ScrollRange(SB_HORZ), 900);
    EXPECT_EQ(ScrollRange(SB_VERT), 700);
    Run(IDM_COPY_BITMAP);

    Drop({Path("small.bmp")});
    EXPECT_EQ(g_shownHeight, 3);
    EXPECT_EQ(ScrollRange(SB_HORZ), 0);
    EXPECT_EQ(ScrollRange(SB_VERT), 0);

    // The copy comes back whole.
    Run(IDM_PASTE_BITMAP);
    EXPECT_EQ(g_shownHeight, 700);
    EXPECT_EQ(ScrollRange(SB_VERT), 700);
    uint8_t rgb[3];
    ColourAt(899, 699, rgb);
    EXPECT_EQ(g_image.GetBlue(899, 699), rgb[2]);

    PutPictureOnClipboard(1000, 20);
    Run(IDM_PASTE_BITMAP);
    EXPECT_EQ(g_shownWidth, 1000);
    EXPECT_EQ(ScrollRange(SB_HORZ), 1000);
    EXPECT_EQ(ScrollRange(SB_VERT), 0);
    // The canvas ends at its own size, not the narrower one it passed through.
    RECT window = {};
    GetWindowRect(g_canvas, &window);
    EXPECT_EQ(window.right - window.left, g_canvasWidth);
}

TEST_F(CommandsTest, DropsOpenOnlyTheFirstFileAndBadOnesChangeNothing) {
    Drop({Path("small.bmp"), Path("wide.bmp"), Path("notes.txt")});
    EXPECT_EQ(g_shownWidth, 5);
    ExpectCurrentFile(Path("small.bmp"));
    EXPECT_EQ(std::string(g_dialogFile), Path("small.bmp")) << "the next dialog proposes it";
    Stamp();

    // A long name whose first 255 bytes name a real picture: opened cut short, it would load
    // (and a later overwrite save would replace) the wrong file.
    const std::string cut = Path(std::string(255 - Path("").size(), 'c'));
    ASSERT_TRUE(WriteFileBytes(cut, MakeBmp(9, 9)));
    const std::vector<std::vector<std::string>> drops = {
        {Path("notes.txt")}, {Path("missing.bmp"), Path("wide.bmp")}, {cut + "ccc.bmp"}};
    for (const auto& drop : drops) {
        SCOPED_TRACE(drop[0]);
        Drop(drop);
        ExpectCurrentFile(Path("small.bmp"));
        EXPECT_EQ(std::string(g_dialogFile), Path("small.bmp"));
        EXPECT_EQ(g_image.GetWidth(), 5);
        EXPECT_TRUE(g_modified);
    }
}

TEST_F(CommandsTest, InformationBoxesAndTheWebPage) {
    ASSERT_TRUE(g_image.Create(640, 480));
    std::vector<SeenDialog> seen = Run(IDM_IMAGE_SIZE, {Box(IDOK)});
    ASSERT_EQ(seen.size(), 1u);
    // The literals are compiled to code page 932, so these compare byte for byte.
    EXPECT_EQ(seen[0].caption, "画像サイズ");
    EXPECT_EQ(seen[0].text, "幅：640ピクセル　高さ：480ピクセル");

    seen = Run(IDM_VERSION_INFO, {Box(IDOK)});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "バージョン情報");
    // The version, one blank, then the rights notice.
    EXPECT_EQ(seen[0].text.rfind("Velmora 05 ", 0), 0u) << seen[0].text;
    EXPECT_GT(seen[0].text.size(), std::string("Velmora 05 ").size());

    Run(IDM_AUTHOR_SITE);
    ASSERT_EQ(g_openedUrls.size(), 1u);
    EXPECT_EQ(g_openedUrls[0].rfind("https://", 0), 0u);
}

TEST_F(CommandsTest, UnknownCommandsDoNothingAndExitDoesNotAsk) {
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;
    for (int id : {0, 1, 100, 105, 201, 999}) {
        Run(id);
    }
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_TRUE(g_modified);
    ExpectCurrentFile(Path("small.bmp"));
    Run(IDM_EXIT);
    EXPECT_FALSE(IsWindow(frame));
}

}  // namespace
