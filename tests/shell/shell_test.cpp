// The real windows under Wine, driven with messages, with the real dialogs, boxes and clipboard.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "shell/canvas_view.h"
#include "shell/commands.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"
#include "tests/support/test_files.h"

namespace {

std::string Text(HWND window) {  // a status bar answers with its one part
    std::vector<char> text(GetWindowTextLengthA(window) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Answers in turn: a name for a file dialog ("" cancels), '#' and a button for a box. Noted:
// "caption;" or "caption|text;", '!' before a dialog of the wrong kind (cancelled).
std::vector<std::string> g_answers;
std::string g_shown;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow(), types = GetDlgItem(dialog, cmb1);
    if (GetClassWord(dialog, GCW_ATOM) != 32770 || GetPropA(dialog, "answered")) {
        return;
    }
    SetPropA(dialog, "answered", dialog);
    const bool fits = !g_answers.empty() && (g_answers[0][0] == '#') == !types;
    std::string answer = fits ? g_answers[0] : "";
    g_answers.erase(g_answers.begin(), g_answers.begin() + fits);
    g_shown += (fits ? "" : "!") + Text(dialog) +
               (types ? "" : "|" + Text(GetDlgItem(dialog, 0xFFFF))) + ";";
    SetDlgItemTextA(dialog, cmb13, answer.c_str());
    const int button = answer.empty() ? IDCANCEL : answer[0] == '#' ? atoi(&answer[1]) : IDOK;
    PostMessageA(dialog, WM_COMMAND, button, 0);
}

// MainFrame started as the entry starts it, without the message loop; pictures in a scratch folder.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // off the windows: no stray moves
        g_image.Create(128, 128);
        g_scrollX = g_scrollY = 0, g_modified = false;
        g_openUrl = [](const char* url) { g_shown += url; };
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("wide.bmp"), MakeBmp(7, 2));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o'});
        StartVelmora(GetModuleHandleA(nullptr), "velmora.exe");
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
            msg.message == WM_QUIT || DispatchMessageA(&msg);  // the last test's window's quit
        }
    }
    void TearDown() override { DestroyWindow(g_mainWindow); }
    std::string Path(const std::string& name) const { return scratch.Path(name); }
    // One command as the menu sends it, its dialogs answered; names without a drive are scratch.
    std::string Run(int command, std::vector<std::string> answers = {}) {
        for (std::string& a : answers) {
            a = a.empty() || a.find_first_of("#:") != std::string::npos ? a : Path(a);
        }
        g_answers = answers;
        g_shown.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 40, AnswerDialog);
        SendMessageA(g_mainWindow, WM_COMMAND, command, 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_answers.empty() && g_shown.find('!') == std::string::npos)
            << command << " showed " << ::testing::PrintToString(g_shown);
        return g_shown;
    }
    void Drop(const std::string& names) {  // each name ends in a zero byte; the window frees it
        HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 2);
        auto* header = static_cast<DROPFILES*>(GlobalLock(block));
        header->pFiles = sizeof(DROPFILES);
        memcpy(header + 1, names.data(), names.size());
        GlobalUnlock(block);
        SendMessageA(g_mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
    }
    static std::string State() { return Text(g_mainWindow) + (g_modified ? "*" : ""); }
    ScratchDir scratch;
};

// Who changes the modified flag (set, cleared, = unchanged), the current file ("=" unchanged) and
// the picture shown; a drop opens only the first file, and not one whose name does not fit whole.
// Overwrite save is offered only after a stamp, never in the window menu; paste only with a
// bitmap. Exit closes without asking.
TEST_F(ShellTest, CommandsKeepTheFileNameAndTheModifiedFlag) {
    const std::string cut = Path(std::string(255 - Path("").size(), 'c'));
    WriteFileBytes(cut, MakeBmp(9, 9));
    const std::vector<std::tuple<std::string, std::function<void()>, char, std::string>> rows = {
        {"small.bmp", [&] { SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, 0); }, 's', "="},
        {"small.bmp", [&] { Run(IDM_OPEN, {"wide.bmp"}); }, 'c', "wide.bmp"},
        {"small.bmp", [&] { Drop(Path("wide.bmp") + '\0' + Path("small.bmp")); }, 'c', "wide.bmp"},
        {"small.bmp", [&] { Run(IDM_SAVE_AS, {"saved"}); }, 'c', "saved.bmp"},
        {"", [&] { Run(IDM_OVERWRITE_SAVE, {"fresh"}); }, 'c', "fresh.bmp"},
        {"small.bmp", [&] { Run(IDM_OVERWRITE_SAVE); }, 'c', "="},
        {"small.bmp", [&] { Run(IDM_COPY_BITMAP), Run(IDM_PASTE_BITMAP); }, '=', ""},
        {"small.bmp",
         [&] {
             Run(IDM_WHOLE_IMAGE), Run(IDM_OPEN, {"notes.txt"}), Run(IDM_OPEN, {""}), Run(999);
             Run(IDM_SAVE_AS, {""}), Drop(Path("notes.txt") + '\0' + Path("wide.bmp"));
             Drop(cut + "ccc.bmp"), Run(IDM_VERSION_INFO, {"#1"}), Run(IDM_AUTHOR_SITE);
             OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard(), Run(IDM_PASTE_BITMAP);
             EXPECT_EQ("画像サイズ|幅：7ピクセル　高さ：2ピクセル;", Run(IDM_IMAGE_SIZE, {"#1"}));
         },
         '=', "="},
        {"", [&] { Run(IDM_OVERWRITE_SAVE, {""}); }, '=', "="},
        {"gone\\small.bmp", [&] { Run(IDM_OVERWRITE_SAVE, {"#1"}); }, '=', "="},
        {"C:\\" + std::string(1500, 'n'), [] {}, '=', "="},  // past what wsprintfA writes
    };
    HMENU bar = GetMenu(g_mainWindow);
    char label[32] = "";  // the one label compared byte for byte: the character-set canary
    GetMenuStringA(bar, 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ("\203t\203@\203C\203\213\201i&F\201j", label);
    auto enabled = [&](int popup, UINT id, LPARAM index) {
        SendMessageA(g_mainWindow, WM_INITMENUPOPUP, (WPARAM)GetSubMenu(bar, popup), index);
        return (GetMenuState(GetSubMenu(bar, popup), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    Run(IDM_WHOLE_IMAGE);
    EXPECT_FALSE(enabled(0, IDM_OVERWRITE_SAVE, 0));
    SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, 0);
    EXPECT_TRUE(enabled(0, IDM_OVERWRITE_SAVE, 0) && !enabled(0, IDM_OVERWRITE_SAVE, 1 << 16));
    OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard();
    EXPECT_FALSE(enabled(1, IDM_PASTE_BITMAP, 1));
    EXPECT_TRUE((Run(IDM_COPY_BITMAP), enabled(1, IDM_PASTE_BITMAP, 1)));
    for (const bool painted : {false, true}) {
        for (const auto& [start, act, flag, end] : rows) {
            // New names each time, or the dialog would ask about replacing them.
            DeleteFileA(Path("saved.bmp").c_str()), DeleteFileA(Path("fresh.bmp").c_str());
            lstrcpyA(g_currentFileName, start.empty() ? "" : Path(start).c_str());
            UpdateTitle();
            g_modified = painted;
            act();
            const std::string name = end == "=" ? start : end;
            EXPECT_EQ("Velmora - " + (name.empty() ? "" : Path(name)) +
                          (flag == 's' || (flag == '=' && painted) ? "*" : ""),
                      State())
                << start << (painted ? " from painted" : "");
            EXPECT_EQ(g_image.GetWidth(), g_shownWidth);
        }
    }
    Run(IDM_EXIT);
    EXPECT_FALSE(IsWindow(g_mainWindow));
    // With no window to end it the loop would wait for ever: a refused window ends it with 1.
    const auto refuse = [](int code, WPARAM w, LPARAM l) -> LRESULT {
        return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, w, l);
    };
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, nullptr, GetCurrentThreadId());
    EXPECT_EQ(1, RunVelmora(GetModuleHandleA(nullptr), "velmora.exe"));
    UnhookWindowsHookEx(hook);
}

// Save-as appends ".bmp" to a name not ending in it in any case, asking itself whether to replace
// a file so named; a name with no room for it is not saved.
TEST_F(ShellTest, SaveAsNamesTheFileItWrites) {
    const std::string full = Path(std::string(253 - Path("").size(), 'n'));
    const std::string ask = "確認|" + Path("plain.bmp") + " は既に存在します。\n上書きしますか？;";
    const std::vector<std::tuple<int, std::vector<std::string>, std::string, std::string>> steps = {
        {IDM_SAVE_AS, {"plain"}, "保存;", "plain.bmp"},
        {IDM_SAVE_AS, {"X.BMP"}, "保存;", "X.BMP"},
        {IDM_SAVE_AS, {"bmp"}, "保存;", "bmp.bmp"},
        {IDM_OPEN, {"small.bmp"}, "開く;", "small.bmp"},
        {IDM_SAVE_AS, {"plain", "#7"}, "保存;" + ask, "small.bmp"},
        {IDM_SAVE_AS, {"plain", "#6"}, "保存;" + ask, "plain.bmp"},
        {IDM_SAVE_AS, {"X.BMP", "#6"}, "保存;", "X.BMP"},  // the dialog's own question
        {IDM_SAVE_AS, {full}, "保存;", "X.BMP"},
    };
    for (const auto& [command, answers, shown, name] : steps) {
        EXPECT_EQ(shown, Run(command, answers).substr(0, shown.size())) << answers[0];
        EXPECT_EQ("Velmora - " + Path(name), State()) << answers[0];
        ScopedImage saved;
        EXPECT_TRUE(LoadBmp(saved.image, g_currentFileName) &&
                    saved.image.GetHeight() == g_image.GetHeight())
            << answers[0];
    }
    EXPECT_EQ(full.substr(Path("").size()), g_dialogFileTitle) << "appended past the name";
}

// The up-downs, clicked for real, carry each setting to its end and no further.
TEST_F(ShellTest, ArrowsKeepEachSettingInItsRange) {
    const int32_t ends[kAdjustCount][2] = {{-256, 256}, {-256, 256}, {-256, 256}, {1, 16}};
    for (int i = 0; i < kAdjustCount; ++i)
        for (int up = 0; up < 2; ++up) {
            RECT r;
            GetClientRect(g_adjustBar.upDown[i], &r);
            const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
            SendMessageA(g_adjustBar.upDown[i], UDM_SETPOS32, 0, ends[i][up] + (up ? -1 : 1));
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP})
                SendMessageA(g_adjustBar.upDown[i], message, MK_LBUTTON, at);
            const int32_t got[] = {g_adjust.red, g_adjust.green, g_adjust.blue, g_adjust.penSize};
            EXPECT_EQ(got[i], ends[i][up]) << i;
        }
}

// Scroll steps stay within 0 to size less page, reading a thumb past 16 bits from the bar. A press
// stamps its pen square, and only a drag it began paints; the readout names the picture point.
TEST_F(ShellTest, CanvasScrollsStampsAndReadsOut) {
    ASSERT_TRUE(g_image.Create(2000, 70000));
    RefitCanvas();
    RECT r;
    GetClientRect(g_canvas, &r);
    const int end = 2000 - r.right;
    // clang-format off
    const int steps[][3] = {  // code, thumb, offset after: each from where the last left off
        {SB_THUMBTRACK, 9999, end}, {SB_LINERIGHT, 0, end}, {SB_PAGELEFT, 0, end - r.right},
        {SB_THUMBTRACK, 9, 9}, {SB_PAGELEFT, 0, 0}, {SB_LINELEFT, 0, 0}, {SB_THUMBPOSITION, 50, 0}};
    // clang-format on
    for (const auto& [code, thumb, to] : steps) {
        SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(code, thumb), 0);
        EXPECT_TRUE(g_scrollX == to && GetScrollPos(g_canvas, SB_HORZ) == to) << code << " " << to;
    }
    SetScrollPos(g_canvas, SB_VERT, 69000, FALSE), g_scrollY = 69000;  // truncated, it would jump
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 69000 & 0xFFFF), 0);
    EXPECT_EQ(69000, g_scrollY);
    g_scrollX = g_scrollY = 0;
    g_image.SetRed(20, 20, 250);
    g_adjust = {10, -5, 3, 3};
    SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20));
    EXPECT_EQ("(20,20)-R:255,G:0,B:3", Text(g_statusBar));
    const auto blue = [](int x, int y) { return g_image.GetBlue(x, y); };  // pen 3: 19 to 21
    EXPECT_TRUE(blue(19, 19) == 3 && blue(21, 21) == 3 && blue(18, 20) == 0 && blue(20, 22) == 0);
    EXPECT_EQ(g_canvas, GetCapture());
    g_adjust = {0, 0, 70, 1};
    for (const auto& [x, keys] : {std::pair{100, MK_LBUTTON}, {110, 0}, {3000, MK_LBUTTON}}) {
        SendMessageA(g_canvas, WM_MOUSEMOVE, keys, MAKELPARAM(x, 4));
    }
    SendMessageA(g_canvas, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(GetCapture() == nullptr && blue(100, 4) == 70 && blue(105, 4) + blue(110, 4) == 0);
    // After a release or a lost capture, a button held since a press elsewhere only reads out.
    g_scrollX = 10, g_scrollY = 20;
    SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 4));
    SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, MAKELPARAM(500, 500));
    SendMessageA(g_canvas, WM_CAPTURECHANGED, 0, 0);
    SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 4));
    EXPECT_EQ("(13,24)-R:0,G:0,B:0", Text(g_statusBar));
}

}  // namespace
