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
#include <tuple>
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

// ---------------------------------------------------------------------------------------------
// Answering modal dialogs.

struct DialogAnswer {
    enum Kind { kFileDialog, kMessageBox } kind;
    int button;         // IDOK, IDCANCEL, IDYES, IDNO
    std::string typed;  // file dialog: the text typed into the file name box
    int filter = 0;     // file dialog: 1-based filter chosen before the button; 0 leaves it
};

DialogAnswer FileOk(const std::string& path, int filter = 0) {
    return {DialogAnswer::kFileDialog, IDOK, path, filter};
}
DialogAnswer FileCancel() {
    return {DialogAnswer::kFileDialog, IDCANCEL, "", 0};
}
DialogAnswer Box(int button) {
    return {DialogAnswer::kMessageBox, button, "", 0};
}

struct SeenDialog {
    bool fileDialog = false;
    std::string caption;
    std::string text;      // message box text
    int filterShown = 0;   // file dialog: the 1-based filter selected when it appeared
    bool expected = true;  // false when no answer was left for it, or the kind was wrong
};

class DialogScript;
DialogScript* g_script = nullptr;

// Arms a thread timer for its lifetime; each tick answers at most one newly shown dialog of
// this thread, taking the answers in order. A dialog left without an answer is cancelled and
// recorded, so a wrong command fails the test instead of hanging it.
class DialogScript {
  public:
    explicit DialogScript(std::vector<DialogAnswer> answers) : pending(std::move(answers)) {
        g_script = this;
        timer = SetTimer(nullptr, 0, 40, Tick);
    }
    ~DialogScript() {
        KillTimer(nullptr, timer);
        g_script = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    const std::vector<SeenDialog>& Seen() const { return seen; }
    size_t Unanswered() const { return pending.size() - next; }
    bool AllExpected() const {
        for (const SeenDialog& s : seen) {
            if (!s.expected) {
                return false;
            }
        }
        return true;
    }

  private:
    static BOOL CALLBACK Collect(HWND window, LPARAM param) {
        char cls[32] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        }
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (g_script != nullptr) {
            g_script->Step();
        }
    }

    // The button of a dialog that changes least: cancel, else no, else the only one.
    static int LeastChange(HWND dialog) {
        return GetDlgItem(dialog, IDCANCEL) != nullptr ? IDCANCEL
               : GetDlgItem(dialog, IDNO) != nullptr   ? IDNO
                                                       : IDOK;
    }

    bool Handled(HWND dialog) const {
        for (HWND h : handled) {
            if (h == dialog) {
                return true;
            }
        }
        return false;
    }

    void Step() {
        std::vector<HWND> dialogs;
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&dialogs));
        for (HWND dialog : dialogs) {
            if (aborting) {
                PostMessageA(dialog, WM_COMMAND, LeastChange(dialog), 0);
                continue;
            }
            if (Handled(dialog)) {
                continue;
            }
            bool isFile = GetDlgItem(dialog, cmb13) != nullptr;
            HWND textControl = GetDlgItem(dialog, 0xFFFF);
            if (!isFile && textControl == nullptr) {
                continue;  // not built far enough yet
            }
            handled.push_back(dialog);
            Answer(dialog, isFile, textControl);
            return;
        }
    }

    void Answer(HWND dialog, bool isFile, HWND textControl) {
        SeenDialog s;
        s.fileDialog = isFile;
        s.caption = WindowText(dialog);
        if (isFile) {
            s.filterShown =
                static_cast<int>(SendDlgItemMessageA(dialog, cmb1, CB_GETCURSEL, 0, 0)) + 1;
        } else {
            s.text = WindowText(textControl);
        }
        const DialogAnswer* answer = next < pending.size() ? &pending[next] : nullptr;
        bool fits = answer != nullptr && (answer->kind == DialogAnswer::kFileDialog) == isFile;
        s.expected = fits;
        seen.push_back(s);
        if (!fits) {
            // Close it and every dialog still open under it, so the command returns.
            aborting = true;
            PostMessageA(dialog, WM_COMMAND, LeastChange(dialog), 0);
            return;
        }
        ++next;
        if (isFile && answer->filter > 0) {
            HWND types = GetDlgItem(dialog, cmb1);
            SendMessageA(types, CB_SETCURSEL, answer->filter - 1, 0);
            // As a user's choice ends: the selection changes, then is confirmed (Wine's dialog
            // takes the new filter on the confirmation).
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(types));
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(types));
        }
        if (isFile && answer->button == IDOK) {
            SetWindowTextA(GetDlgItem(dialog, cmb13), answer->typed.c_str());
        }
        PostMessageA(dialog, WM_COMMAND, answer->button, 0);
    }

    std::vector<DialogAnswer> pending;
    size_t next = 0;
    std::vector<SeenDialog> seen;
    std::vector<HWND> handled;
    UINT_PTR timer = 0;
    bool aborting = false;
};

// ---------------------------------------------------------------------------------------------
// Drops and the clipboard.

// A real drop handle as the shell builds it: DROPFILES followed by the names, each ending in a
// zero byte, the list in one more. The window's handler frees it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t chars = 1;
    for (const std::string& p : paths) {
        chars += p.size() + 1;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
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

// Puts a picture of the given size on the clipboard through the core's own copy.
void PutPictureOnClipboard(int32_t width, int32_t height) {
    ScopedImage picture;
    ASSERT_TRUE(picture.image.Create(width, height));
    FillPattern(picture.image);
    bool published = false;
    CopyToClipboard(picture.image, &published);
    ASSERT_TRUE(published);
}

std::vector<std::string> g_openedUrls;
void RecordUrl(const char* url) {
    g_openedUrls.push_back(url);
}

// ---------------------------------------------------------------------------------------------
// The fixture: the real MainFrame for each test, with a scratch folder of files.

class CommandsTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        frame = Start();
        ASSERT_NE(frame, nullptr);
        g_openUrl = RecordUrl;
        g_openedUrls.clear();
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("wide.bmp"), MakeBmp(7, 2));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    }

  public:
    std::string Path(const std::string& name) const { return scratch.Path(name); }

    // Runs one command the way the menu delivers it, answering its dialogs in order.
    std::vector<SeenDialog> Run(int command, std::vector<DialogAnswer> answers = {}) {
        DialogScript script(std::move(answers));
        SendMessageA(frame, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        PumpMessages();
        EXPECT_EQ(script.Unanswered(), 0u) << "command " << command << " showed fewer dialogs";
        EXPECT_TRUE(script.AllExpected()) << "command " << command << " showed another dialog";
        return script.Seen();
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

    // What the popup at the given menu bar position shows for the item after it opens.
    UINT StateAfterOpening(int popupIndex, UINT command) {
        HMENU popup = GetSubMenu(GetMenu(frame), popupIndex);
        SendMessageA(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                     MAKELPARAM(popupIndex, 0));
        return GetMenuState(popup, command, MF_BYCOMMAND);
    }
    bool OverwriteSaveEnabled() {
        return (StateAfterOpening(0, IDM_OVERWRITE_SAVE) & MF_GRAYED) == 0;
    }
    bool PasteEnabled() { return (StateAfterOpening(1, IDM_PASTE_BITMAP) & MF_GRAYED) == 0; }

    void SetCurrentFile(const std::string& path) {
        lstrcpyA(g_currentFileName, path.c_str());
        UpdateTitle();
    }
    std::string Title() const { return WindowText(frame); }

    ScratchDir scratch;
    HWND frame = nullptr;
};

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsPictureOf(const std::string& path, int32_t width, int32_t height) {
    ScopedImage loaded;
    if (!LoadBmp(loaded.image, path.c_str())) {
        return false;
    }
    return loaded.image.GetWidth() == width && loaded.image.GetHeight() == height;
}

// ---------------------------------------------------------------------------------------------
// Who changes the modified flag and the current file name: one row per event, each run from a
// clean and from a painted start so both "set" and "cleared" are told apart from "unchanged".

enum class Flag { kSet, kCleared, kUnchanged };

struct StateRow {
    const char* name;
    const char* startFile;  // relative to the scratch folder; "" for none
    std::function<void(CommandsTest&)> act;
    Flag flag;
    const char* endFile;  // nullptr: unchanged; "": emptied; else relative to the scratch folder
};

void PrintTo(const StateRow& row, std::ostream* out) {
    *out << row.name;
}

class StateTableTest : public CommandsTest,
                       public ::testing::WithParamInterface<std::tuple<StateRow, bool>> {};

std::vector<StateRow> StateRows() {
    using T = CommandsTest;
    auto run = [](int command, std::function<std::vector<DialogAnswer>(T&)> answers) {
        return [command, answers](T& t) {
            t.Run(command, answers ? answers(t) : std::vector<DialogAnswer>{});
        };
    };
    auto path = [](T& t, const char* name) { return t.Path(name); };
    return {
        {"Stamp", "small.bmp", [](T& t) { t.Stamp(); }, Flag::kSet, nullptr},
        {"OpenSucceeds", "small.bmp",
         run(IDM_OPEN,
             [path](T& t) { return std::vector<DialogAnswer>{FileOk(path(t, "wide.bmp"))}; }),
         Flag::kCleared, "wide.bmp"},
        {"DropSucceeds", "small.bmp", [path](T& t) { t.Drop({path(t, "wide.bmp")}); },
         Flag::kCleared, "wide.bmp"},
        {"SaveAsSucceeds", "small.bmp",
         run(IDM_SAVE_AS,
             [path](T& t) { return std::vector<DialogAnswer>{FileOk(path(t, "saved"))}; }),
         Flag::kCleared, "saved.bmp"},
        {"OverwriteSaveThroughDialog", "",
         run(IDM_OVERWRITE_SAVE,
             [path](T& t) { return std::vector<DialogAnswer>{FileOk(path(t, "fresh"))}; }),
         Flag::kCleared, "fresh.bmp"},
        {"OverwriteSaveToCurrentFile", "small.bmp", run(IDM_OVERWRITE_SAVE, nullptr),
         Flag::kCleared, nullptr},
        {"PasteSucceeds", "small.bmp",
         [](T& t) {
             PutPictureOnClipboard(9, 4);
             t.Run(IDM_PASTE_BITMAP);
         },
         Flag::kUnchanged, ""},
        {"WholeImage", "small.bmp", run(IDM_WHOLE_IMAGE, nullptr), Flag::kUnchanged, nullptr},
        {"Copy", "small.bmp", run(IDM_COPY_BITMAP, nullptr), Flag::kUnchanged, nullptr},
        {"ImageSize", "small.bmp",
         run(IDM_IMAGE_SIZE, [](T&) { return std::vector<DialogAnswer>{Box(IDOK)}; }),
         Flag::kUnchanged, nullptr},
        {"Version", "small.bmp",
         run(IDM_VERSION_INFO, [](T&) { return std::vector<DialogAnswer>{Box(IDOK)}; }),
         Flag::kUnchanged, nullptr},
        {"WebSite", "small.bmp", run(IDM_AUTHOR_SITE, nullptr), Flag::kUnchanged, nullptr},
        {"OpenFails", "small.bmp",
         run(IDM_OPEN,
             [path](T& t) { return std::vector<DialogAnswer>{FileOk(path(t, "notes.txt"))}; }),
         Flag::kUnchanged, nullptr},
        {"OpenCancelled", "small.bmp",
         run(IDM_OPEN, [](T&) { return std::vector<DialogAnswer>{FileCancel()}; }),
         Flag::kUnchanged, nullptr},
        {"DropFails", "small.bmp", [path](T& t) { t.Drop({path(t, "notes.txt")}); },
         Flag::kUnchanged, nullptr},
        {"SaveAsCancelled", "small.bmp",
         run(IDM_SAVE_AS, [](T&) { return std::vector<DialogAnswer>{FileCancel()}; }),
         Flag::kUnchanged, nullptr},
        {"OverwriteSaveDialogCancelled", "",
         run(IDM_OVERWRITE_SAVE, [](T&) { return std::vector<DialogAnswer>{FileCancel()}; }),
         Flag::kUnchanged, nullptr},
        {"OverwriteSaveFails", "gone\\small.bmp",
         run(IDM_OVERWRITE_SAVE, [](T&) { return std::vector<DialogAnswer>{Box(IDOK)}; }),
         Flag::kUnchanged, nullptr},
        {"PasteFails", "small.bmp",
         [](T& t) {
             EmptyTheClipboard();
             t.Run(IDM_PASTE_BITMAP);
         },
         Flag::kUnchanged, nullptr},
    };
}

TEST_P(StateTableTest, ModifiedFlagAndCurrentFileName) {
    const StateRow& row = std::get<0>(GetParam());
    const bool painted = std::get<1>(GetParam());
    std::string start = row.startFile[0] == '\0' ? "" : Path(row.startFile);
    SetCurrentFile(start);
    g_modified = painted;

    row.act(*this);

    bool expectedFlag = row.flag == Flag::kSet       ? true
                        : row.flag == Flag::kCleared ? false
                                                     : painted;
    EXPECT_EQ(g_modified, expectedFlag);
    std::string expectedName = row.endFile == nullptr   ? start
                               : row.endFile[0] == '\0' ? ""
                                                        : Path(row.endFile);
    EXPECT_EQ(std::string(g_currentFileName), expectedName);
    EXPECT_EQ(Title(), "Velmora - " + expectedName);
}

INSTANTIATE_TEST_SUITE_P(Events, StateTableTest,
                         ::testing::Combine(::testing::ValuesIn(StateRows()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<StateRow, bool>>& param) {
                             return std::string(std::get<0>(param.param).name) +
                                    (std::get<1>(param.param) ? "_FromPainted" : "_FromClean");
                         });

// ---------------------------------------------------------------------------------------------
// Save-as and the ".bmp" rule.

struct ExtensionCase {
    const char* typed;
    int filter;
    const char* written;  // the one file that must exist afterwards
};

TEST_F(CommandsTest, SaveAsAppendsTheExtensionOnlyWithTheBitmapFilter) {
    const ExtensionCase cases[] = {
        {"plain", 1, "plain.bmp"},       {"X.BMP", 1, "X.BMP"}, {"mixed.Bmp", 1, "mixed.Bmp"},
        {"memo.txt", 1, "memo.txt.bmp"}, {"bmp", 1, "bmp.bmp"}, {"raw", 2, "raw"},
        {"raw.txt", 2, "raw.txt"},
    };
    for (const ExtensionCase& c : cases) {
        SCOPED_TRACE(c.typed);
        std::vector<SeenDialog> seen = Run(IDM_SAVE_AS, {FileOk(Path(c.typed), c.filter)});
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "保存");
        EXPECT_TRUE(IsPictureOf(Path(c.written), 128, 128));
        if (std::string(c.written) != c.typed) {
            EXPECT_FALSE(FileExists(Path(c.typed))) << "the name as typed was written too";
        }
        EXPECT_EQ(std::string(g_currentFileName), Path(c.written));
        EXPECT_EQ(Title(), "Velmora - " + Path(c.written));
    }
}

TEST_F(CommandsTest, FilterCarriesOverFromOpenToSaveAsAndBackToBitmaps) {
    // Open with the all-files filter: the next save-as starts with it and appends nothing.
    Run(IDM_OPEN, {FileOk(Path("small.bmp"), 2)});
    ASSERT_EQ(std::string(g_currentFileName), Path("small.bmp"));
    std::vector<SeenDialog> seen = Run(IDM_SAVE_AS, {FileOk(Path("first"))});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].filterShown, 2);
    EXPECT_TRUE(IsPictureOf(Path("first"), 5, 3));
    EXPECT_FALSE(FileExists(Path("first.bmp")));

    // Save-as keeps the last choice.
    seen = Run(IDM_SAVE_AS, {FileOk(Path("second"))});
    EXPECT_EQ(seen[0].filterShown, 2);
    EXPECT_TRUE(FileExists(Path("second")));
    EXPECT_FALSE(FileExists(Path("second.bmp")));

    // The open dialog goes back to the bitmap filter, and so does the next save-as.
    seen = Run(IDM_OPEN, {FileOk(Path("wide.bmp"))});
    EXPECT_EQ(seen[0].filterShown, 1);
    seen = Run(IDM_SAVE_AS, {FileOk(Path("third"))});
    EXPECT_EQ(seen[0].filterShown, 1);
    EXPECT_TRUE(IsPictureOf(Path("third.bmp"), 7, 2));

    // An overwrite save without a current file name also starts from the bitmap filter.
    Run(IDM_SAVE_AS, {FileOk(Path("fourth"), 2)});
    EXPECT_TRUE(FileExists(Path("fourth")));
    PutPictureOnClipboard(3, 3);
    Run(IDM_PASTE_BITMAP);
    ASSERT_EQ(g_currentFileName[0], '\0');
    seen = Run(IDM_OVERWRITE_SAVE, {FileOk(Path("fifth"))});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].filterShown, 1);
    EXPECT_TRUE(IsPictureOf(Path("fifth.bmp"), 3, 3));
}

TEST_F(CommandsTest, AppendedNameThatExistsIsAskedAboutFirst) {
    WriteFileBytes(Path("kept.bmp"), MakeBmp(2, 2));
    const Bytes before = ReadFileBytes(Path("kept.bmp"));
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;

    std::vector<SeenDialog> seen = Run(IDM_SAVE_AS, {FileOk(Path("kept")), Box(IDNO)});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].caption, "確認");
    EXPECT_EQ(seen[1].text, Path("kept.bmp") + " は既に存在します。\n上書きしますか？");
    EXPECT_EQ(ReadFileBytes(Path("kept.bmp")), before);
    EXPECT_TRUE(g_modified);
    EXPECT_EQ(std::string(g_currentFileName), Path("small.bmp"));

    seen = Run(IDM_SAVE_AS, {FileOk(Path("kept")), Box(IDYES)});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(IsPictureOf(Path("kept.bmp"), 128, 128));
    EXPECT_FALSE(g_modified);
    EXPECT_EQ(std::string(g_currentFileName), Path("kept.bmp"));

    // No question when nothing is appended: the dialog's own prompt covers that name.
    seen = Run(IDM_SAVE_AS, {FileOk(Path("new.BMP"))});
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(CommandsTest, NameWithoutRoomForTheExtensionIsNotSaved) {
    // A full path of 253 bytes: it fits the dialog's 255, but not with ".bmp" after it.
    std::string prefix = Path("");
    std::string name(253 - prefix.size(), 'n');
    std::string typed = prefix + name;
    ASSERT_EQ(typed.size(), 253u);
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;

    Run(IDM_SAVE_AS, {FileOk(typed)});
    ASSERT_EQ(std::string(g_dialogFile), typed)
        << "the dialog did not take the name as typed, or it was extended";
    // The record's next buffer is intact: nothing was appended past the end of the first.
    EXPECT_EQ(std::string(g_dialogFileTitle), name);

    // Nothing new in the folder, under any form of the name.
    EXPECT_EQ(FolderNames(Path("")),
              (std::vector<std::string>{"notes.txt", "small.bmp", "wide.bmp"}));
    EXPECT_TRUE(g_modified);
    EXPECT_EQ(std::string(g_currentFileName), Path("small.bmp"));
}

// ---------------------------------------------------------------------------------------------
// Overwrite save.

TEST_F(CommandsTest, OverwriteSaveIsEnabledOnlyByPainting) {
    Run(IDM_OPEN, {FileOk(Path("small.bmp"))});
    EXPECT_FALSE(OverwriteSaveEnabled());
    g_adjust = {10, 20, 30, 1};
    Run(IDM_WHOLE_IMAGE);
    EXPECT_FALSE(OverwriteSaveEnabled()) << "the whole-image command enabled it";
    Stamp();
    EXPECT_TRUE(OverwriteSaveEnabled());
    // Only the File popup offers it: the same item is greyed when opened as another popup.
    EXPECT_NE(StateAfterOpening(1, IDM_OVERWRITE_SAVE) & MF_GRAYED, 0u);
    EXPECT_TRUE(OverwriteSaveEnabled());
    Run(IDM_OVERWRITE_SAVE);
    EXPECT_FALSE(OverwriteSaveEnabled());
    Run(IDM_WHOLE_IMAGE);
    EXPECT_FALSE(OverwriteSaveEnabled());
    // The file holds both additions at the stamped pixel and the whole-image one elsewhere.
    ScopedImage saved;
    ASSERT_TRUE(LoadBmp(saved.image, Path("small.bmp").c_str()));
    uint8_t rgb[3];
    ColourAt(1, 1, rgb);
    EXPECT_EQ(saved.image.GetRed(1, 1), ClampChannel(rgb[0] + 20));
    EXPECT_EQ(saved.image.GetGreen(1, 1), ClampChannel(rgb[1] + 40));
    EXPECT_EQ(saved.image.GetBlue(1, 1), ClampChannel(rgb[2] + 60));
    ColourAt(4, 2, rgb);
    EXPECT_EQ(saved.image.GetRed(4, 2), ClampChannel(rgb[0] + 10));
    EXPECT_EQ(saved.image.GetBlue(4, 2), ClampChannel(rgb[2] + 30));
}

TEST_F(CommandsTest, OverwriteSaveFailureShowsItsOneBox) {
    // The target's folder disappears after the open.
    ASSERT_TRUE(CreateDirectoryA(Path("gone").c_str(), nullptr));
    WriteFileBytes(Path("gone\\pic.bmp"), MakeBmp(5, 3));
    Run(IDM_OPEN, {FileOk(Path("gone\\pic.bmp"))});
    ASSERT_EQ(std::string(g_currentFileName), Path("gone\\pic.bmp"));
    Stamp();
    ASSERT_TRUE(DeleteFileA(Path("gone\\pic.bmp").c_str()));
    ASSERT_TRUE(RemoveDirectoryA(Path("gone").c_str()));

    std::vector<SeenDialog> seen = Run(IDM_OVERWRITE_SAVE, {Box(IDOK)});
    ASSERT_EQ(seen.size(), 1u);
    // Byte for byte in code page 932: "保存に失敗しました。" and "エラー".
    EXPECT_EQ(seen[0].text,
              "\x95\xdb\x91\xb6\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5"
              "\x82\xbd\x81\x42");
    EXPECT_EQ(seen[0].caption, "\x83\x47\x83\x89\x81\x5b");
    EXPECT_TRUE(g_modified);
    EXPECT_TRUE(OverwriteSaveEnabled());
    EXPECT_EQ(std::string(g_currentFileName), Path("gone\\pic.bmp"));
}

// ---------------------------------------------------------------------------------------------
// Clipboard.

TEST_F(CommandsTest, PasteIsEnabledOnlyWithABitmapOnTheClipboard) {
    EmptyTheClipboard();
    EXPECT_FALSE(PasteEnabled());
    Run(IDM_COPY_BITMAP);
    EXPECT_TRUE(PasteEnabled());
    // Only the Edit popup offers it.
    EXPECT_NE(StateAfterOpening(0, IDM_PASTE_BITMAP) & MF_GRAYED, 0u);
    EmptyTheClipboard();
    EXPECT_FALSE(PasteEnabled()) << "not evaluated anew when the menu opened";
}

TEST_F(CommandsTest, CopyThenPasteBringsThePictureBackAndRefitsTheCanvas) {
    Run(IDM_OPEN, {FileOk(Path("wide.bmp"))});
    Run(IDM_COPY_BITMAP);
    Run(IDM_OPEN, {FileOk(Path("small.bmp"))});
    ASSERT_EQ(g_shownWidth, 5);

    Run(IDM_PASTE_BITMAP);
    EXPECT_EQ(g_image.GetWidth(), 7);
    EXPECT_EQ(g_shownWidth, 7);
    EXPECT_EQ(g_shownHeight, 2);
    uint8_t rgb[3];
    ColourAt(6, 1, rgb);
    EXPECT_EQ(g_image.GetRed(6, 1), rgb[0]);
    EXPECT_EQ(g_image.GetGreen(6, 1), rgb[1]);
    EXPECT_EQ(g_image.GetBlue(6, 1), rgb[2]);
    EXPECT_EQ(Title(), "Velmora - ");
}

// ---------------------------------------------------------------------------------------------
// Every new image refits the canvas: its scroll bars follow the new size at once.

int ScrollRange(int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    if (!GetScrollInfo(g_canvas, bar, &info)) {
        return 0;  // no scroll bar at all
    }
    return info.nMax;
}

TEST_F(CommandsTest, NewImagesRefitTheCanvas) {
    WriteFileBytes(Path("big.bmp"), MakeBmp(900, 700));
    ASSERT_LT(g_canvasWidth, 900);
    ASSERT_LT(g_canvasHeight, 700);

    Run(IDM_OPEN, {FileOk(Path("big.bmp"))});
    EXPECT_EQ(g_shownWidth, 900);
    EXPECT_EQ(g_shownHeight, 700);
    EXPECT_EQ(ScrollRange(SB_HORZ), 900);
    EXPECT_EQ(ScrollRange(SB_VERT), 700);

    Drop({Path("small.bmp")});
    EXPECT_EQ(g_shownWidth, 5);
    EXPECT_EQ(ScrollRange(SB_HORZ), 0);
    EXPECT_EQ(ScrollRange(SB_VERT), 0);

    PutPictureOnClipboard(1000, 20);
    Run(IDM_PASTE_BITMAP);
    EXPECT_EQ(g_shownWidth, 1000);
    EXPECT_EQ(g_shownHeight, 20);
    EXPECT_EQ(ScrollRange(SB_HORZ), 1000);
    EXPECT_EQ(ScrollRange(SB_VERT), 0);

    // The canvas ends at its own size, not the narrower one it passed through.
    RECT window = {};
    GetWindowRect(g_canvas, &window);
    EXPECT_EQ(window.right - window.left, g_canvasWidth);
}

// ---------------------------------------------------------------------------------------------
// Drops.

TEST_F(CommandsTest, DropOpensOnlyTheFirstFile) {
    Drop({Path("wide.bmp"), Path("small.bmp"), Path("notes.txt")});
    EXPECT_EQ(g_image.GetWidth(), 7);
    EXPECT_EQ(g_shownWidth, 7);
    EXPECT_EQ(g_shownHeight, 2);
    EXPECT_EQ(std::string(g_currentFileName), Path("wide.bmp"));
    EXPECT_EQ(Title(), "Velmora - " + Path("wide.bmp"));
    // The next file dialog proposes the dropped file.
    EXPECT_EQ(std::string(g_dialogFile), Path("wide.bmp"));
}

TEST_F(CommandsTest, BadDropsChangeNothing) {
    Drop({Path("small.bmp")});
    const std::string title = Title();
    const std::string dialogFile = g_dialogFile;
    Stamp();

    // A long name whose first 255 bytes name a real picture: opened cut short, it would load
    // (and a later overwrite save would replace) the wrong file.
    std::string prefix = Path("");
    std::string cut = prefix + std::string(255 - prefix.size(), 'c');
    ASSERT_EQ(cut.size(), 255u);
    WriteFileBytes(cut, MakeBmp(9, 9));
    ASSERT_TRUE(FileExists(cut));

    const std::vector<std::vector<std::string>> drops = {
        {Path("notes.txt")},
        {Path("missing.bmp"), Path("wide.bmp")},
        {cut + "ccc.bmp"},
    };
    for (const auto& drop : drops) {
        SCOPED_TRACE(drop[0]);
        Drop(drop);
        EXPECT_EQ(Title(), title);
        EXPECT_EQ(std::string(g_currentFileName), Path("small.bmp"));
        EXPECT_EQ(std::string(g_dialogFile), dialogFile);
        EXPECT_EQ(g_image.GetWidth(), 5);
        EXPECT_TRUE(g_modified);
    }
}

// ---------------------------------------------------------------------------------------------
// The message boxes and the web page.

TEST_F(CommandsTest, InformationBoxes) {
    ASSERT_TRUE(g_image.Create(640, 480));
    std::vector<SeenDialog> seen = Run(IDM_IMAGE_SIZE, {Box(IDOK)});
    ASSERT_EQ(seen.size(), 1u);
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

TEST_F(CommandsTest, ExitDestroysTheWindowWithoutAsking) {
    g_modified = true;
    Run(IDM_EXIT);
    EXPECT_FALSE(IsWindow(frame));
}

TEST_F(CommandsTest, UnknownCommandsDoNothing) {
    SetCurrentFile(Path("small.bmp"));
    g_modified = true;
    for (int id : {0, 1, 100, 105, 201, 999}) {
        Run(id);
    }
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_TRUE(g_modified);
    EXPECT_EQ(Title(), "Velmora - " + Path("small.bmp"));
}

}  // namespace
