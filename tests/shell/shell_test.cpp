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

const std::string kOk = "#1";
const std::string kYes = "#6";
const std::string kNo = "#7";

std::string Text(HWND window) {  // a status bar answers with its one part
    std::vector<char> text(GetWindowTextLengthA(window) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Answers each dialog in turn: a file name ("" cancels), or "#" and a box's button; notes
// "caption;" or "caption|text;", with '!' before a dialog of a kind not expected.
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

// The size of text in the window's own font.
SIZE TextIn(HWND window, const char* text) {
    HDC dc = GetDC(window);
    SelectObject(dc, HFONT(SendMessageA(window, WM_GETFONT, 0, 0)));
    SIZE size;
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    ReleaseDC(window, dc);
    return size;
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

// Counts the canvas's paints, standing in front of its procedure.
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
        g_image.Create(128, 128);
        g_modified = false;
        SetUrlOpener([](const char* url) { g_shown += url; });
        WriteFileBytes(Path("small.bmp"), MakeBmp(5, 3));
        WriteFileBytes(Path("tall.bmp"), MakeBmp(3, 3000));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o'});
        StartVelmora(GetModuleHandleA(nullptr),
                     ("velmora.exe \"" + Path("tall.bmp") + "\"").c_str());
        PumpMessages();
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
    // Each name ends in a zero byte; gives back the block, which the window must free.
    HGLOBAL Drop(const std::string& names) {
        HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 2);
        auto* header = static_cast<DROPFILES*>(GlobalLock(block));
        header->pFiles = sizeof(DROPFILES);
        memcpy(header + 1, names.data(), names.size());
        GlobalUnlock(block);
        SendMessageA(g_mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
        return block;
    }
    ScratchDir scratch;
};

// Each open, drop and save clears the modified flag and names the file holding the picture;
// a paste forgets the name; nothing else touches either. Each row starts on small.bmp's picture.
TEST_F(ShellTest, CommandsKeepTheFileNameAndTheModifiedFlag) {
    const std::string cut = Path(std::string(255 - scratch.Path("").size(), 'c'));
    WriteFileBytes(cut, MakeBmp(9, 9));
    // With ".bmp" it would fill the buffer, leaving none for the terminator.
    const std::string full = std::string(252 - scratch.Path("").size(), 'n');
    const std::string ask = "確認|" + Path("plain.bmp") + " は既に存在します。\n上書きしますか？;";
    const std::string tallFirst = Path("tall.bmp") + '\0' + Path("small.bmp");
    enum Flag { kCleared, kKept };
    struct Step {
        const char* name;
        std::string startFile = "small.bmp";
        bool bitmapOnClipboard = false;
        int command = 0;
        std::string dropped = "";  // names, each ending in a zero byte, dropped instead
        std::vector<std::string> answers = {};
        Flag flag = kKept;
        const char* endFile = nullptr;  // the start file
        std::string shown = "";         // the start of what the dialogs show
    };
    // clang-format off
    const Step steps[] = {
        {.name = "paste, nothing there", .command = IDM_PASTE_BITMAP},
        {.name = "paste", .bitmapOnClipboard = true, .command = IDM_PASTE_BITMAP, .endFile = ""},
        {.name = "open", .command = IDM_OPEN, .answers = {"tall.bmp"}, .flag = kCleared, .endFile = "tall.bmp", .shown = "開く;"},
        {.name = "drop two", .dropped = tallFirst, .flag = kCleared, .endFile = "tall.bmp"},
        {.name = "save as", .command = IDM_SAVE_AS, .answers = {"fresh"}, .flag = kCleared, .endFile = "fresh.bmp", .shown = "保存;"},
        {.name = "save as, the dialog asks", .command = IDM_SAVE_AS, .answers = {"X.BMP", kYes}, .flag = kCleared, .endFile = "X.BMP"},
        {.name = "save as, not over", .command = IDM_SAVE_AS, .answers = {"plain", kNo}, .shown = "保存;" + ask},
        {.name = "save as, over", .command = IDM_SAVE_AS, .answers = {"plain", kYes}, .flag = kCleared, .endFile = "plain.bmp", .shown = "保存;" + ask},
        {.name = "overwrite, no name", .startFile = "", .command = IDM_OVERWRITE_SAVE, .answers = {"fresh"}, .flag = kCleared, .endFile = "fresh.bmp"},
        {.name = "overwrite", .command = IDM_OVERWRITE_SAVE, .flag = kCleared},
        {.name = "whole image", .command = IDM_WHOLE_IMAGE},
        {.name = "open no BMP", .command = IDM_OPEN, .answers = {"notes.txt"}},
        {.name = "open cancelled", .command = IDM_OPEN, .answers = {""}},
        {.name = "save cancelled", .command = IDM_SAVE_AS, .answers = {""}},
        {.name = "overwrite cancelled", .startFile = "", .command = IDM_OVERWRITE_SAVE, .answers = {""}},
        {.name = "overwrite fails", .startFile = "gone\\small.bmp", .command = IDM_OVERWRITE_SAVE, .answers = {kOk}, .shown = "エラー|保存に失敗しました。;"},
        {.name = "drop, no BMP first", .dropped = Path("notes.txt") + '\0' + Path("tall.bmp")},
        {.name = "drop a name too long", .dropped = cut + "ccc.bmp"},
        {.name = "version", .command = IDM_VERSION_INFO, .answers = {kOk}, .shown = "バージョン情報|Velmora 05 Copyright (C) 2026 Velmora 開発チーム;"},
        {.name = "web page", .command = IDM_AUTHOR_SITE, .shown = "https://velmora.example.com/"},
        {.name = "image size", .command = IDM_IMAGE_SIZE, .answers = {kOk}, .shown = "画像サイズ|幅：5ピクセル　高さ：3ピクセル;"},
        {.name = "a title past wsprintfA's limit", .startFile = "C:\\" + std::string(1500, 'n')},
        {.name = "save as, no room for .bmp", .command = IDM_SAVE_AS, .answers = {full}, .shown = "保存;"},
    };
    // clang-format on
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
                const HGLOBAL block = Drop(step.dropped);
                EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(block)) << "still held";
                const bool opened = step.flag == kCleared;
                EXPECT_EQ(opened, lstrcmpA(g_currentFileName, g_dialogFile) == 0) << "next dialog";
            } else {
                shown = Run(step.command, step.answers);
            }
            const std::string file = step.endFile ? step.endFile : step.startFile;
            EXPECT_EQ(step.flag == kKept && painted, g_modified);
            EXPECT_EQ("Velmora - " + Path(file), Text(g_mainWindow));
            EXPECT_EQ(step.shown, shown.substr(0, step.shown.size()));
            if (step.flag == kCleared) {
                ScopedImage named;
                EXPECT_TRUE(LoadBmp(named.image, g_currentFileName));
                EXPECT_EQ(g_image.GetHeight(), named.image.GetHeight()) << "the file";
            }
            RECT view;
            GetClientRect(g_canvas, &view);
            EXPECT_EQ(g_image.GetHeight() > view.bottom ? g_image.GetHeight() : 0, VerticalRange());
            // Overwrite save is offered in the File popup once painted, paste in the Edit popup
            // with a bitmap on the clipboard.
            const HMENU bar = GetMenu(g_mainWindow);
            for (int popup = 0; popup < 2; ++popup)
                SendMessageA(g_mainWindow, WM_INITMENUPOPUP, WPARAM(GetSubMenu(bar, popup)), popup);
            const UINT save = GetMenuState(GetSubMenu(bar, 0), IDM_OVERWRITE_SAVE, MF_BYCOMMAND);
            EXPECT_EQ(!g_modified, (save & MF_GRAYED) != 0) << "overwrite save's greying";
            const UINT paste = GetMenuState(GetSubMenu(bar, 1), IDM_PASTE_BITMAP, MF_BYCOMMAND);
            EXPECT_EQ(!step.bitmapOnClipboard, (paste & MF_GRAYED) != 0) << "paste's greying";
        }
    EXPECT_EQ(full, g_dialogFileTitle) << "appended past the name";
}

// A drag stamps and reads out only where the user sees the picture.
TEST_F(ShellTest, CanvasScrollsAndPaintsWhatTheUserSees) {
    ASSERT_TRUE(g_image.Create(2000, 70000));
    RefitCanvas();
    g_canvasProc = WNDPROC(SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, LONG_PTR(CountPaints)));
    RECT view;
    GetClientRect(g_canvas, &view);
    const int page = view.bottom;
    // Past 16 bits the bar's own position, not the message's word, is the thumb.
    for (const int bar : {SB_HORZ, SB_VERT}) {
        int32_t& offset = bar == SB_HORZ ? g_scrollX : g_scrollY;
        const int shown = bar == SB_HORZ ? view.right : view.bottom;
        const int last = (bar == SB_HORZ ? 2000 : 70000) - shown;
        const int steps[][2] = {{SB_LINEUP, -1},      {SB_LINEDOWN, 1},   {SB_PAGEUP, -shown},
                                {SB_PAGEDOWN, shown}, {SB_THUMBTRACK, 7}, {SB_THUMBPOSITION, 0},
                                {SB_ENDSCROLL, 0}};  // code and step; a thumb goes 7 on
        for (const auto [code, step] : steps)
            for (const int from : {0, 1, last - 1, last}) {
                SetScrollPos(g_canvas, bar, from, FALSE);
                offset = from;
                ValidateRect(g_canvas, nullptr);
                g_paints = 0;
                const WPARAM message = MAKEWPARAM(code, WORD(from + 7));
                SendMessageA(g_canvas, bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, message, 0);
                const bool wide = bar == SB_VERT && code == SB_THUMBTRACK;
                const int want = wide ? from : std::clamp(from + step, 0, last);
                SCOPED_TRACE(testing::Message()
                             << "bar " << bar << " code " << code << " from " << from);
                EXPECT_EQ(want, offset);
                EXPECT_EQ(want, GetScrollPos(g_canvas, bar));
                EXPECT_EQ(step != 0 && !wide ? 1 : 0, g_paints) << "repaints";
            }
    }
    // A scroll shows the picture at its new offset at once, before any other message.
    SetScrollPos(g_canvas, SB_HORZ, 100, FALSE);
    SetScrollPos(g_canvas, SB_VERT, 101, FALSE);
    g_scrollX = 100;
    g_scrollY = 101;
    g_image.SetRed(130, 130, 250);
    SendMessageA(g_canvas, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas)) << "after a scroll";
    g_adjust = {10, -5, 3, 3};
    Picture want = Capture(g_image);
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    ModelStamp(want, g_adjust, 130, 130);
    EXPECT_EQ("(130,130)-R:255,G:0,B:3", Text(g_statusBar));
    EXPECT_EQ(g_canvas, GetCapture());
    EXPECT_TRUE(g_modified) << "a press";
    g_adjust = {120, 0, 0, 16};
    g_modified = false;  // as after a save while the button is held
    // Over the status bar and the scroll bar, left of the canvas, above it, and inside.
    for (const int x : {-3, 0, int(view.right) - 1, int(view.right) + 5})
        for (const int y : {-3, 0, page - 1, page + 5}) {
            const bool seen = x >= 0 && y >= 0 && x < view.right && y < page;
            const std::string name = "a move to " + std::to_string(x) + "," + std::to_string(y);
            SendMessageA(g_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("before"));
            SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
            if (seen)
                ModelStamp(want, g_adjust, 100 + x, 100 + y);
            EXPECT_EQ(seen, Text(g_statusBar) != "before") << name;
            EXPECT_EQ(Capture(g_image), want) << name;
        }
    EXPECT_TRUE(Pixels(g_canvas, kPicture) == Pixels(g_canvas))
        << "after a drag across the view's edges";
    EXPECT_TRUE(g_modified) << "a drag";
    g_adjust = {0, 0, 9, 1};
    const uint8_t blue = g_image.GetBlue(100, 101);
    Run(IDM_WHOLE_IMAGE);
    UpdateWindow(g_canvas);
    EXPECT_EQ(blue + 9, g_image.GetBlue(100, 101)) << "the whole-image command";
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
    // After a lost capture the button held only reads out.
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 500));
    SendMessageA(g_canvas, WM_CAPTURECHANGED, 0, 0);
    want = Capture(g_image);
    SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 4));
    EXPECT_EQ("(400,104)-R:0,G:0,B:9", Text(g_statusBar));
    EXPECT_EQ(Capture(g_image), want) << "painted after the capture was lost";
}

// The window, both bars and their text scale from 96 dots per inch; the picture and readout do not.
TEST_F(ShellTest, LayoutFollowsTheDisplayScale) {
    const UINT dpi = WindowDpi(g_mainWindow);
    if (const char* expected = getenv("VELMORA_TEST_DPI")) {
        ASSERT_EQ(UINT(atoi(expected)), dpi) << "the prefix's scale";
    }
    EXPECT_EQ(dpi, MonitorDpi(g_mainWindow)) << "as systems without the window's own scale ask";
    RECT frame;
    GetWindowRect(g_mainWindow, &frame);
    EXPECT_NEAR(600 * double(dpi) / 96, frame.right - frame.left, dpi == 96 ? 0 : 1);
    EXPECT_NEAR(450 * double(dpi) / 96, frame.bottom - frame.top, dpi == 96 ? 0 : 1);
    ASSERT_TRUE(g_image.Create(64, 5000));
    RefitCanvas();
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
    SendMessageA(g_mainWindow, WM_DPICHANGED, MAKEWPARAM(96, 96), LPARAM(&frame));
    const std::vector<LONG> at96 = edges();
    const LONG statusText96 = TextIn(g_statusBar, "(0,0)").cy;
    // At 96 each box stands right of its label, with its arrows just right of it.
    const auto at = [&at96](int window, int edge) { return at96[4 * window + edge]; };
    for (int i = 0; i < kAdjustCount; ++i) {
        EXPECT_LE(at(i, 2), at(kAdjustCount + i, 0)) << "label and box " << i;
        EXPECT_EQ(at(kAdjustCount + i, 2), at(2 * kAdjustCount + i, 0)) << "box and arrows " << i;
    }
    EXPECT_EQ(kAdjustBarHeight, at(3 * kAdjustCount, 1)) << "the canvas's top";
    for (const UINT scale : {2 * dpi, dpi, 2 * dpi}) {
        HFONT font = HFONT(SendMessageA(g_adjustBar.edit[0], WM_GETFONT, 0, 0));
        SetScrollPos(g_canvas, SB_VERT, 5000, FALSE);
        g_scrollY = 5000;
        const RECT suggested = {0, 0, ScaleToDpi(600, scale), ScaleToDpi(450, scale)};
        SendMessageA(g_mainWindow, WM_DPICHANGED, MAKEWPARAM(scale, scale), LPARAM(&suggested));
        RECT view;
        GetClientRect(g_canvas, &view);
        EXPECT_LE(g_scrollY, 5000 - view.bottom) << "the view runs past the picture";
        EXPECT_TRUE(scale == 2 * dpi || GetObjectType(font) == 0) << "a font held";
        // The status bar's text grows with the scale, the bar with its text, and the canvas
        // still ends where the bar begins.
        RECT status;
        GetWindowRect(g_statusBar, &status);
        RECT canvas;
        GetWindowRect(g_canvas, &canvas);
        const LONG statusText = TextIn(g_statusBar, "(0,0)").cy;
        EXPECT_NEAR(statusText96 * scale / 96.0, statusText, scale / 96.0) << scale;
        EXPECT_GT(status.bottom - status.top, statusText) << "status bar at " << scale;
        EXPECT_EQ(status.top, canvas.bottom) << "canvas at " << scale;
        const std::vector<LONG> got = edges();
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(at96[i] * scale / 96.0, got[i], 1)
                << "edge " << i % 4 << " (left, top, right, bottom) of window " << i / 4
                << " (4 labels, 4 boxes, 4 arrows, the canvas) at " << scale;
        for (int i = 0; i < kAdjustCount; ++i) {
            SendMessageA(g_adjustBar.upDown[i], UDM_SETPOS32, 0, i < kAdjustPenSize ? -999 : 99);
            char digits[16];
            GetWindowTextA(g_adjustBar.edit[i], digits, sizeof digits);
            EXPECT_STREQ(i < kAdjustPenSize ? "-256" : "16", digits) << "range";
            RECT arrows;
            GetClientRect(g_adjustBar.upDown[i], &arrows);
            const LPARAM upper = MAKELPARAM(arrows.right / 2, arrows.bottom / 4);
            SendMessageA(g_adjustBar.upDown[i], WM_LBUTTONDOWN, MK_LBUTTON, upper);
            SendMessageA(g_adjustBar.upDown[i], WM_LBUTTONUP, 0, upper);
            const int32_t setting[] = {g_adjust.red, g_adjust.green, g_adjust.blue,
                                       g_adjust.penSize};
            EXPECT_EQ(i < kAdjustPenSize ? -255 : 16, setting[i]) << "the upper arrow of " << i;
            const LRESULT boxFont = SendMessageA(g_adjustBar.edit[i], WM_GETFONT, 0, 0);
            EXPECT_EQ(SendMessageA(g_adjustBar.label[i], WM_GETFONT, 0, 0), boxFont) << i;
            const SIZE text = TextIn(g_adjustBar.edit[i], digits);
            RECT box;
            GetClientRect(g_adjustBar.edit[i], &box);
            EXPECT_LT(text.cx, box.right) << digits << " in box " << i << " at " << scale;
            EXPECT_LE(text.cy, box.bottom) << digits << " in box " << i << " at " << scale;
        }
    }
    g_image.SetGreen(17, g_scrollY + 9, 77);
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(17, 9));
    EXPECT_EQ("(17," + std::to_string(g_scrollY + 9) + ")-R:0,G:77,B:0", Text(g_statusBar));
    // The fonts made for a scale go with the window.
    const LRESULT made[] = {SendMessageA(g_adjustBar.edit[0], WM_GETFONT, 0, 0),
                            SendMessageA(g_statusBar, WM_GETFONT, 0, 0)};
    DestroyWindow(g_mainWindow);
    for (const LRESULT font : made)
        EXPECT_EQ(0, GetObjectType(HGDIOBJ(font))) << "held after the window went";
}

// Copy and paste belong to a box that has the keyboard focus, the other keys to the menu.
TEST_F(ShellTest, BoxesKeepTheirCopyAndPaste) {
    DestroyWindow(g_mainWindow);
    PumpMessages();
    // Once the program's own window stands, the keys go through its loop with Ctrl held.
    const auto press = [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        const HWND box = g_adjustBar.edit[kAdjustBlue];
        SendMessageA(g_adjustBar.upDown[kAdjustBlue], UDM_SETPOS32, 0, -42);
        SendMessageA(box, EM_SETSEL, 0, -1);
        SendMessageA(g_mainWindow, WM_COMMAND, IDM_COPY_BITMAP, 0);
        g_modified = true;
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        for (const char key : {'V', 'S', 'C'})
            PostMessageA(box, WM_KEYDOWN, key, 1);
        PostQuitMessage(0);
    };
    SetTimer(nullptr, 0, 10, press);
    EXPECT_EQ(0,
              RunVelmora(GetModuleHandleA(nullptr), ("velmora.exe " + Path("tall.bmp")).c_str()));
    BYTE keys[256] = {};
    SetKeyboardState(keys);
    EXPECT_EQ("Velmora - " + Path("tall.bmp"), Text(g_mainWindow)) << "Ctrl+V pasted";
    EXPECT_FALSE(g_modified) << "Ctrl+S did not save";
    OpenClipboard(nullptr);
    const HANDLE text = GetClipboardData(CF_TEXT);
    EXPECT_STREQ("-42", text ? static_cast<const char*>(GlobalLock(text)) : "") << "Ctrl+C";
    CloseClipboard();
}

// The picture named on the command line opens, scrollable over its whole height.
TEST_F(ShellTest, StartsOnTheNamedPicture) {
    EXPECT_EQ("Velmora - " + Path("tall.bmp"), Text(g_mainWindow));
    EXPECT_EQ(3000, VerticalRange());
    EXPECT_TRUE(GetWindowLongA(g_mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    char label[32] = "";
    GetMenuStringA(GetSubMenu(GetMenu(g_mainWindow), 0), 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ("\212J\202\255\201i&O\201j", label) << "File > Open in code page 932";
    const std::vector<std::vector<UINT>> items = {
        {IDM_OPEN, IDM_SAVE_AS, IDM_OVERWRITE_SAVE, 0, IDM_EXIT},  // 0: a separator
        {IDM_COPY_BITMAP, IDM_PASTE_BITMAP, IDM_WHOLE_IMAGE},
        {IDM_IMAGE_SIZE},
        {IDM_VERSION_INFO, IDM_AUTHOR_SITE}};
    for (size_t popup = 0; popup < items.size(); ++popup) {
        const HMENU menu = GetSubMenu(GetMenu(g_mainWindow), int(popup));
        std::vector<UINT> got;
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
            got.push_back(GetMenuItemID(menu, i));
        EXPECT_EQ(items[popup], got) << "popup " << popup;
    }
    EXPECT_NE(nullptr, HCURSOR(GetClassLongPtrA(g_canvas, GCLP_HCURSOR)));
    // A refused window ends with 1 the loop nothing else could end.
    const auto refuse = [](int code, WPARAM w, LPARAM l) -> LRESULT {
        return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, w, l);
    };
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, nullptr, GetCurrentThreadId());
    EXPECT_EQ(1, RunVelmora(GetModuleHandleA(nullptr), "velmora.exe"));
    UnhookWindowsHookEx(hook);
}

}  // namespace
