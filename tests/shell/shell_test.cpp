// The real windows, dialogs, boxes and clipboard under Wine, driven with messages.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "shell/adjust_bar.h"
#include "shell/canvas_view.h"
#include "shell/commands.h"
#include "shell/display_scale.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"
#include "tests/support/models.h"

namespace {

std::string Text(HWND window) {  // a status bar answers with its one part
    std::vector<char> text(GetWindowTextLengthA(window) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Answers each dialog in turn with a file name ("" cancels) or a box's button (#1 OK, #6 Yes,
// #7 No); notes "caption;" or "caption|text;", with '!' before a dialog of a kind not expected.
std::vector<std::string> g_answers;
std::string g_shown;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow();
    if (GetClassWord(dialog, GCW_ATOM) != 32770 || GetPropA(dialog, "answered"))
        return;
    SetPropA(dialog, "answered", dialog);
    EXPECT_EQ(g_mainWindow, GetAncestor(dialog, GA_ROOTOWNER)) << Text(dialog) << " not modal";
    const bool isBox = GetDlgItem(dialog, cmb1) == nullptr;
    const bool expected = !g_answers.empty() && (g_answers[0][0] == '#') == isBox;
    const std::string answer = expected ? g_answers[0] : "";
    if (expected)
        g_answers.erase(g_answers.begin());
    g_shown += (expected ? "" : "!") + Text(dialog);
    g_shown += (isBox ? "|" + Text(GetDlgItem(dialog, 0xFFFF)) : "") + ";";
    SetDlgItemTextA(dialog, cmb13, answer.c_str());
    const int button = answer.empty() ? IDCANCEL : answer[0] == '#' ? atoi(&answer[1]) : IDOK;
    PostMessageA(dialog, WM_COMMAND, button, 0);
}

int VerticalRange() {
    SCROLLINFO bar = {sizeof bar, SIF_RANGE, 0, 0, 0, 0, 0};
    GetScrollInfo(g_canvas, SB_VERT, &bar);
    return bar.nMax;
}

// The client area row by row, as the screen shows it or as the picture is at the scroll offsets.
enum Source { kScreen, kPicture };
std::vector<COLORREF> Pixels(HWND window, Source source = kScreen) {
    RECT r;
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels;
    for (int32_t y = g_scrollY; y < g_scrollY + r.bottom; ++y)
        for (int32_t x = g_scrollX; x < g_scrollX + r.right; ++x)
            pixels.push_back(source == kScreen ? GetPixel(dc, x - g_scrollX, y - g_scrollY)
                                               : RGB(g_image.GetRed(x, y), g_image.GetGreen(x, y),
                                                     g_image.GetBlue(x, y)));
    ReleaseDC(window, dc);
    return pixels;
}

// Leaves the quit of a window the test destroyed, which would end the next loop at once.
void PumpMessages() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
        if (msg.message != WM_QUIT)
            DispatchMessageA(&msg);
}

int g_paints = 0;
WNDPROC g_canvasProc = nullptr;
LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_paints += message == WM_PAINT;
    return CallWindowProcA(g_canvasProc, window, message, wParam, lParam);
}

// Once the queue has run empty, the bar shows what a whole repaint of it shows.
void ExpectBarAsRepainted(const char* when) {
    PumpMessages();
    const std::vector<COLORREF> shown = Pixels(g_statusBar);
    RedrawWindow(g_statusBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(shown == Pixels(g_statusBar)) << when;
    EXPECT_TRUE(IsWindowVisible(g_statusBar)) << when << ": a bar that no longer paints";
}

// MainFrame started as the entry does, on a tall picture, without the message loop.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // no stray moves
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("tall.bmp"), MakeBmp(3, 3000));
        StartVelmora(GetModuleHandleA(nullptr),
                     ("velmora.exe \"" + Path("tall.bmp") + "\"").c_str());
        PumpMessages();
        EXPECT_EQ(3000, VerticalRange()) << "the picture named on the command line";
        EXPECT_TRUE(GetWindowLongA(g_mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    }
    void TearDown() override { DestroyWindow(g_mainWindow); }
    // A name without a drive, or a box's answer, is a scratch file.
    std::string Path(const std::string& name) const {
        const bool whole = name.empty() || name.find_first_of("#:") != std::string::npos;
        return whole ? name : scratch.Path(name);
    }
    std::string Run(int command, const std::vector<std::string>& answers = {}) {
        g_answers.clear();
        for (const std::string& answer : answers)
            g_answers.push_back(Path(answer));
        g_shown.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 40, AnswerDialog);
        SendMessageA(g_mainWindow, WM_COMMAND, command, 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_answers.empty()) << command << " left answers unused";
        EXPECT_EQ(std::string::npos, g_shown.find('!')) << command << " showed " << g_shown;
        return g_shown;
    }
    ScratchDir scratch;
};

// The menus' items. Each open, drop and save clears the modified flag and names the file holding
// the picture; a paste forgets the name; nothing else touches either. Rows start on small.bmp.
TEST_F(ShellTest, MenuCommandsKeepTheFileNameAndTheModifiedFlag) {
    const std::string cut = Path(std::string(255 - scratch.Path("").size(), 'c'));
    WriteFileBytes(cut, MakeBmp(9, 9));
    // With ".bmp" it would fill the buffer, leaving none for the terminator.
    const std::string full = std::string(252 - scratch.Path("").size(), 'n');
    enum Flag { kCleared, kKept };
    struct Step {
        const char* name;
        std::string startFile = "small.bmp";
        bool bitmapOnClipboard = false;
        int command = 0;
        std::string dropped = "";  // names, each ending in a zero byte, dropped instead
        std::vector<std::string> answers = {};
        Flag flag = kKept;
        std::string endFile = startFile;
        std::string shown = "";  // the start of what the dialogs show
    };
    // clang-format off
    const Step steps[] = {
        {.name = "paste", .bitmapOnClipboard = true, .command = IDM_PASTE_BITMAP, .endFile = ""},
        {.name = "open", .command = IDM_OPEN, .answers = {"tall.bmp"}, .flag = kCleared, .endFile = "tall.bmp", .shown = "開く;"},
        {.name = "drop two", .dropped = Path("tall.bmp") + '\0' + Path("small.bmp"), .flag = kCleared, .endFile = "tall.bmp"},
        {.name = "save as, the dialog asks", .command = IDM_SAVE_AS, .answers = {"X.BMP", "#6"}, .flag = kCleared, .endFile = "X.BMP"},
        {.name = "save as, not over", .command = IDM_SAVE_AS, .answers = {"plain", "#7"}, .shown = "保存;確認|" + Path("plain.bmp") + " は既に存在します。\n上書きしますか？;"},
        {.name = "save as, over", .command = IDM_SAVE_AS, .answers = {"plain", "#6"}, .flag = kCleared, .endFile = "plain.bmp"},
        {.name = "overwrite, no name", .startFile = "", .command = IDM_OVERWRITE_SAVE, .answers = {"fresh"}, .flag = kCleared, .endFile = "fresh.bmp"},
        {.name = "overwrite", .command = IDM_OVERWRITE_SAVE, .flag = kCleared},
        {.name = "open no BMP", .command = IDM_OPEN, .answers = {"C:\\windows\\win.ini"}},
        {.name = "save cancelled", .command = IDM_SAVE_AS, .answers = {""}},
        {.name = "overwrite fails", .startFile = "gone\\small.bmp", .command = IDM_OVERWRITE_SAVE, .answers = {"#1"}, .shown = "エラー|保存に失敗しました。;"},
        {.name = "drop a name too long", .dropped = cut + "ccc.bmp"},
        {.name = "drop, no BMP first", .dropped = std::string("C:\\windows\\win.ini") + '\0' + Path("tall.bmp")},
        {.name = "version", .command = IDM_VERSION_INFO, .answers = {"#1"}, .shown = "バージョン情報|Velmora 05 Copyright (C) 2026 Velmora 開発チーム;"},
        {.name = "image size", .command = IDM_IMAGE_SIZE, .answers = {"#1"}, .shown = "画像サイズ|幅：5ピクセル　高さ：3ピクセル;"},
        {.name = "a title past wsprintfA's limit", .startFile = "C:\\" + std::string(1500, 'n')},
        {.name = "save as, no room for .bmp", .command = IDM_SAVE_AS, .answers = {full}, .shown = "保存;"},
    };
    // clang-format on
    const HMENU bar = GetMenu(g_mainWindow);
    const std::vector<std::vector<UINT>> items = {
        {IDM_OPEN, IDM_SAVE_AS, IDM_OVERWRITE_SAVE, 0, IDM_EXIT},  // 0: a separator
        {IDM_COPY_BITMAP, IDM_PASTE_BITMAP, IDM_WHOLE_IMAGE},
        {IDM_IMAGE_SIZE},
        {IDM_VERSION_INFO, IDM_AUTHOR_SITE}};
    for (size_t popup = 0; popup < items.size(); ++popup) {
        const HMENU menu = GetSubMenu(bar, int(popup));
        std::vector<UINT> got;
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
            got.push_back(GetMenuItemID(menu, i));
        EXPECT_EQ(items[popup], got) << "popup " << popup;
    }
    char label[32] = "";
    GetMenuStringA(GetSubMenu(bar, 0), 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ("\212J\202\255\201i&O\201j", label) << "File > Open in code page 932";
    const auto greyed = [bar](UINT id) {
        return (GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    for (const bool painted : {false, true})
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(step.name) + (painted ? ", painted before" : ""));
            ASSERT_TRUE(LoadBmp(g_image, Path("small.bmp").c_str()));
            RefitCanvas();
            OpenClipboard(nullptr);
            EmptyClipboard();
            CloseClipboard();
            if (step.bitmapOnClipboard)
                Run(IDM_COPY_BITMAP);
            for (const char* name : {"plain.bmp", "X.BMP"})
                WriteFileBytes(Path(name), MakeBmp(1, 1));
            DeleteFileA(Path("fresh.bmp").c_str());
            SetCurrentFileName(Path(step.startFile).c_str());
            g_dialogFile[0] = '\0';
            g_modified = painted;
            std::string shown;
            if (!step.dropped.empty()) {
                HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + step.dropped.size() + 2);
                auto* header = static_cast<DROPFILES*>(GlobalLock(block));
                header->pFiles = sizeof(DROPFILES);
                memcpy(header + 1, step.dropped.data(), step.dropped.size());
                GlobalUnlock(block);
                SendMessageA(g_mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
                const char* next = step.flag == kCleared ? g_currentFileName : "";
                EXPECT_STREQ(next, g_dialogFile) << "the next dialog starts there";
            } else {
                shown = Run(step.command, step.answers);
            }
            EXPECT_EQ(step.flag == kKept && painted, g_modified);
            EXPECT_EQ("Velmora - " + Path(step.endFile), Text(g_mainWindow));
            EXPECT_EQ(step.shown, shown.substr(0, step.shown.size()));
            ScopedImage named;
            LoadBmp(named.image, g_currentFileName);
            if (step.flag == kCleared)
                EXPECT_EQ(Capture(g_image), Capture(named.image)) << "the file";
            EXPECT_EQ(g_image.GetHeight() > 100 ? g_image.GetHeight() : 0, VerticalRange())
                << "a picture taller than the view scrolls";
            for (int popup = 0; popup < 2; ++popup)
                SendMessageA(g_mainWindow, WM_INITMENUPOPUP, WPARAM(GetSubMenu(bar, popup)), popup);
            EXPECT_EQ(!g_modified, greyed(IDM_OVERWRITE_SAVE)) << "overwrite save";
            EXPECT_EQ(!step.bitmapOnClipboard, greyed(IDM_PASTE_BITMAP)) << "paste";
        }
    EXPECT_EQ(full, g_dialogFileTitle) << "appended past the name";
}

// A drag stamps only where the user sees the picture; the screen and the readout follow it.
TEST_F(ShellTest, CanvasScrollsAndPaintsWhatTheUserSees) {
    ASSERT_TRUE(g_image.Create(2000, 70000));
    RefitCanvas();
    g_canvasProc = WNDPROC(SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, LONG_PTR(CountPaints)));
    RECT view;
    GetClientRect(g_canvas, &view);
    const int page = view.bottom;
    // Each code from the second position and from the last but one. Past 16 bits the bar's own
    // position, not the message's word, is the thumb, so a thumb track stays.
    const int last = 70000 - page;
    const int steps[][2] = {{SB_LINEUP, -1},     {SB_LINEDOWN, 1},   {SB_PAGEUP, -page},
                            {SB_PAGEDOWN, page}, {SB_THUMBTRACK, 0}, {SB_THUMBPOSITION, 0}};
    for (const auto [code, step] : steps)
        for (const int from : {1, last - 1}) {
            SetScrollPos(g_canvas, SB_VERT, from, FALSE);
            g_scrollY = from;
            ValidateRect(g_canvas, nullptr);
            g_paints = 0;
            SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(code, WORD(from + 7)), 0);
            SCOPED_TRACE(testing::Message() << "code " << code << " from " << from);
            EXPECT_EQ(std::clamp(from + step, 0, last), g_scrollY);
            EXPECT_EQ(step != 0 ? 1 : 0, g_paints) << "repaints";
        }
    // A scroll shows the picture at once; below 16 bits the thumb's word is its position.
    g_image.SetRed(130, 130, 250);
    SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 100), 0);
    SetScrollPos(g_canvas, SB_VERT, 101, FALSE);
    SendMessageA(g_canvas, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas)) << "after a scroll";
    g_adjust = {10, -5, 3, 3};
    Picture want = Capture(g_image);
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    ModelStamp(want, g_adjust, 130, 130);
    EXPECT_EQ("(130,130)-R:255,G:0,B:3", Text(g_statusBar));
    EXPECT_TRUE(g_modified) << "a press";
    g_adjust = {120, 0, 0, 16};
    g_modified = false;  // as after a save while the button is held
    // Over the status bar and the scroll bar, left of the canvas, above it, and inside.
    for (const int x : {-3, 0, int(view.right) - 1, int(view.right) + 5})
        for (const int y : {-3, 0, page - 1, page + 5}) {
            SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
            if (x >= 0 && y >= 0 && x < view.right && y < page)
                ModelStamp(want, g_adjust, 100 + x, 100 + y);
        }
    EXPECT_EQ(Capture(g_image), want) << "a drag across the view's edges";
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas)) << "after the drag";
    EXPECT_TRUE(g_modified) << "a drag";
    g_adjust = {0, 0, 9, 1};
    Run(IDM_WHOLE_IMAGE);
    UpdateWindow(g_canvas);
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas)) << "after the whole-image command";
    SendMessageA(g_canvas, WM_LBUTTONUP, 0, MAKELPARAM(50, page + 400));
    EXPECT_EQ(nullptr, GetCapture());
    // A burst reads its last move out, on a bar with a paint still due; then a shorter text.
    g_image.AddToPixel(500, 300, 255, 255, 255);
    HDC bar = GetDC(g_statusBar);
    PatBlt(bar, 0, 0, 4000, 100, BLACKNESS);
    ReleaseDC(g_statusBar, bar);
    InvalidateRect(g_statusBar, nullptr, FALSE);
    for (const LPARAM at : {MAKELPARAM(1, 1), MAKELPARAM(9, 9), MAKELPARAM(400, 200)})
        PostMessageA(g_canvas, WM_MOUSEMOVE, 0, at);
    ExpectBarAsRepainted("after a burst");
    EXPECT_EQ("(500,300)-R:255,G:255,B:255", Text(g_statusBar));
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(150, 150));
    ExpectBarAsRepainted("after a shorter text");
    EXPECT_EQ("(250,250)-R:0,G:0,B:9", Text(g_statusBar)) << "the whole-image command";
    // After a lost capture the button held only reads out.
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 500));
    SendMessageA(g_canvas, WM_CAPTURECHANGED, 0, 0);
    want = Capture(g_image);
    SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 4));
    EXPECT_EQ(Capture(g_image), want) << "painted after the capture was lost";
}

// The window, both bars and their text scale with the display; the picture does not.
TEST_F(ShellTest, LayoutFollowsTheDisplayScale) {
    const UINT dpi = WindowDpi(g_mainWindow);
    if (const char* expected = getenv("VELMORA_TEST_DPI"))
        ASSERT_EQ(UINT(atoi(expected)), dpi) << "the prefix's scale";
    EXPECT_EQ(dpi, MonitorDpi(g_mainWindow)) << "as systems without the window's own scale ask";
    RECT frame;
    GetWindowRect(g_mainWindow, &frame);
    EXPECT_NEAR(600 * double(dpi) / 96, frame.right - frame.left, dpi == 96 ? 0 : 1);
    EXPECT_NEAR(450 * double(dpi) / 96, frame.bottom - frame.top, dpi == 96 ? 0 : 1);
    ASSERT_TRUE(g_image.Create(2000, 2000));
    Scramble(g_image, 7);
    RefitCanvas();
    // A small window keeps the reading of the screen short.
    SetWindowPos(g_mainWindow, nullptr, 0, 0, 400, 400, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(g_canvas);
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas)) << "one pixel to one at " << dpi;
    // Every edge of the bar's labels, boxes and arrows, then the canvas's top.
    const auto edges = [] {
        std::vector<LONG> all;
        for (const HWND* column :
             {g_adjustBar.label, g_adjustBar.edit, g_adjustBar.upDown, &g_canvas})
            for (int i = 0; i < (column == &g_canvas ? 1 : kAdjustCount); ++i) {
                RECT r;
                GetWindowRect(column[i], &r);
                MapWindowPoints(nullptr, g_mainWindow, reinterpret_cast<POINT*>(&r), 2);
                all.insert(all.end(), {r.left, r.top, r.right, r.bottom});
            }
        all.resize(all.size() - 2);  // the canvas's right and bottom: the window's
        return all;
    };
    const std::vector<LONG> was = edges();
    EXPECT_EQ(ScaleToDpi(kAdjustBarHeight, dpi), was.back()) << "the canvas's top";
    for (int i = 0; i < kAdjustCount; ++i)  // each box where its arrows begin
        EXPECT_EQ(was[4 * (kAdjustCount + i) + 2], was[4 * (2 * kAdjustCount + i)]) << "box " << i;
    const auto fontHeight = [](HWND window) {
        LOGFONTA font;
        GetObjectA(HGDIOBJ(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        return std::abs(font.lfHeight);
    };
    const LONG statusFont = fontHeight(g_statusBar);
    const LONG boxFont = fontHeight(g_adjustBar.edit[0]);
    for (const UINT scale : {2 * dpi, dpi, 2 * dpi}) {
        SetScrollPos(g_canvas, SB_VERT, 2000, FALSE);  // the foot; stays in view, not reset
        const RECT suggested = {0, 0, ScaleToDpi(600, scale), ScaleToDpi(450, scale)};
        SendMessageA(g_mainWindow, WM_DPICHANGED, MAKEWPARAM(scale, scale), LPARAM(&suggested));
        RECT view;
        GetClientRect(g_canvas, &view);
        EXPECT_EQ(std::clamp<LONG>(g_scrollY, 1, 2000 - view.bottom), g_scrollY) << scale;
        // The fonts follow the scale, the status bar its font, and the canvas the bar.
        RECT status;
        GetWindowRect(g_statusBar, &status);
        RECT canvas;
        GetWindowRect(g_canvas, &canvas);
        EXPECT_NEAR(statusFont * double(scale) / dpi, fontHeight(g_statusBar), 1) << scale;
        EXPECT_NEAR(boxFont * double(scale) / dpi, fontHeight(g_adjustBar.edit[3]), 1) << scale;
        EXPECT_GT(status.bottom - status.top, fontHeight(g_statusBar)) << "bar at " << scale;
        EXPECT_EQ(status.top, canvas.bottom) << "canvas at " << scale;
        const std::vector<LONG> got = edges();
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(was[i] * double(scale) / dpi, got[i], 1) << "edge " << i << " at " << scale;
    }
    for (int i = 0; i < kAdjustCount; ++i) {
        SendMessageA(g_adjustBar.upDown[i], UDM_SETPOS32, 0, i < kAdjustPenSize ? -999 : 99);
        RECT arrows;
        GetClientRect(g_adjustBar.upDown[i], &arrows);
        const LPARAM upper = MAKELPARAM(arrows.right / 2, arrows.bottom / 4);
        SendMessageA(g_adjustBar.upDown[i], WM_LBUTTONDOWN, MK_LBUTTON, upper);
        SendMessageA(g_adjustBar.upDown[i], WM_LBUTTONUP, 0, upper);
        const int32_t setting[] = {g_adjust.red, g_adjust.green, g_adjust.blue, g_adjust.penSize};
        EXPECT_EQ(i < kAdjustPenSize ? -255 : 16, setting[i]) << "the upper arrow of " << i;
    }
}

// Copy and paste belong to a box that has the keyboard focus, the other keys to the menu.
TEST_F(ShellTest, BoxesKeepTheirCopyAndPaste) {
    DestroyWindow(g_mainWindow);
    PumpMessages();
    // Once the program's own window stands, the keys go through its loop with Ctrl held. File >
    // Exit waits for a timer of its own, since timers come after the characters the keys post.
    const auto press = [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        SendMessageA(g_adjustBar.upDown[kAdjustBlue], UDM_SETPOS32, 0, -42);
        SendMessageA(g_adjustBar.edit[kAdjustBlue], EM_SETSEL, 0, -1);
        SendMessageA(g_mainWindow, WM_COMMAND, IDM_COPY_BITMAP, 0);
        g_modified = true;
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        for (const char key : {'V', 'S', 'C'})
            PostMessageA(g_adjustBar.edit[kAdjustBlue], WM_KEYDOWN, key, 1);
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR exit, DWORD) {
            KillTimer(nullptr, exit);
            PostMessageA(g_mainWindow, WM_COMMAND, IDM_EXIT, 0);
        });
    };
    SetTimer(nullptr, 0, 10, press);
    const std::string commandLine = "velmora.exe " + Path("tall.bmp");
    EXPECT_EQ(0, RunVelmora(GetModuleHandleA(nullptr), commandLine.c_str())) << "File > Exit";
    EXPECT_EQ(Path("tall.bmp"), g_currentFileName) << "Ctrl+V pasted";
    EXPECT_FALSE(g_modified) << "Ctrl+S did not save";
    OpenClipboard(nullptr);
    const HANDLE text = GetClipboardData(CF_TEXT);
    EXPECT_STREQ("-42", text ? static_cast<const char*>(GlobalLock(text)) : "") << "Ctrl+C";
    CloseClipboard();
}

}  // namespace
