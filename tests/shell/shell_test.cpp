// The real windows, dialogs, boxes and clipboard under Wine, driven with messages.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

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

// The client area as the screen shows it, row by row.
std::vector<COLORREF> Shown(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
}

// The picture at the scroll offsets, over the whole view.
std::vector<COLORREF> PictureInView() {
    RECT r;
    GetClientRect(g_canvas, &r);
    std::vector<COLORREF> pixels;
    for (int y = g_scrollY; y < g_scrollY + r.bottom; ++y)
        for (int x = g_scrollX; x < g_scrollX + r.right; ++x)
            pixels.push_back(
                RGB(g_image.GetRed(x, y), g_image.GetGreen(x, y), g_image.GetBlue(x, y)));
    return pixels;
}

// Once the queue has run empty, the bar shows what a whole repaint of it shows.
void ExpectBarAsRepainted(const char* when) {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
        DispatchMessageA(&msg);
    const std::vector<COLORREF> shown = Shown(g_statusBar);
    RedrawWindow(g_statusBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(shown == Shown(g_statusBar)) << when;
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
        WriteFileBytes(Path("wide.bmp"), MakeBmp(7, 2));
        WriteFileBytes(Path("tall.bmp"), MakeBmp(3, 3000));
        WriteFileBytes(Path("notes.txt"), Bytes{'n', 'o'});
        StartVelmora(GetModuleHandleA(nullptr),
                     ("velmora.exe \"" + Path("tall.bmp") + "\"").c_str());
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            if (msg.message != WM_QUIT)  // the quit of the last window, destroyed
                DispatchMessageA(&msg);
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
// a paste forgets the name; nothing else touches either.
TEST_F(ShellTest, CommandsKeepTheFileNameAndTheModifiedFlag) {
    const std::string cut = Path(std::string(255 - scratch.Path("").size(), 'c'));
    WriteFileBytes(cut, MakeBmp(9, 9));
    // With ".bmp" it would fill the buffer, leaving none for the terminator.
    const std::string full = std::string(252 - scratch.Path("").size(), 'n');
    const std::string ask = "確認|" + Path("plain.bmp") + " は既に存在します。\n上書きしますか？;";
    constexpr const char* kSame = "=";
    const int kPress = -1;  // a press on the canvas
    const int kDrop = -2;   // a drop of the answers' names
    enum Flag { kSet, kCleared, kKept };
    struct Step {
        const char* name;
        int command;
        std::vector<std::string> answers;
        Flag flag;
        std::string endFile = kSame;
        std::string shown = "";  // the start of what the dialogs show
        std::string startFile = "small.bmp";
    };
    // clang-format off
    const Step steps[] = {
        {"paste, nothing there", IDM_PASTE_BITMAP, {}, kKept},
        {"press", kPress, {}, kSet},
        {"open", IDM_OPEN, {"wide.bmp"}, kCleared, "wide.bmp", "開く;"},
        {"drop two", kDrop, {Path("wide.bmp") + '\0' + Path("small.bmp")}, kCleared, "wide.bmp"},
        {"save as", IDM_SAVE_AS, {"plain"}, kCleared, "plain.bmp", "保存;"},
        {"save as, upper case", IDM_SAVE_AS, {"X.BMP"}, kCleared, "X.BMP"},
        {"save as, not over", IDM_SAVE_AS, {"plain", kNo}, kKept, kSame, "保存;" + ask},
        {"save as, over", IDM_SAVE_AS, {"plain", kYes}, kCleared, "plain.bmp", "保存;" + ask},
        {"save as, the dialog asks", IDM_SAVE_AS, {"X.BMP", kYes}, kCleared, "X.BMP"},
        {"overwrite, no name", IDM_OVERWRITE_SAVE, {"fresh"}, kCleared, "fresh.bmp", "", ""},
        {"overwrite", IDM_OVERWRITE_SAVE, {}, kCleared},
        {"copy", IDM_COPY_BITMAP, {}, kKept},
        {"paste", IDM_PASTE_BITMAP, {}, kKept, ""},
        {"whole image", IDM_WHOLE_IMAGE, {}, kKept},
        {"open no BMP", IDM_OPEN, {"notes.txt"}, kKept},
        {"open cancelled", IDM_OPEN, {""}, kKept},
        {"save cancelled", IDM_SAVE_AS, {""}, kKept},
        {"overwrite cancelled", IDM_OVERWRITE_SAVE, {""}, kKept, kSame, "", ""},
        {"overwrite fails", IDM_OVERWRITE_SAVE, {kOk}, kKept, kSame, "エラー|保存に失敗しました。;", "gone\\small.bmp"},
        {"drop, no BMP first", kDrop, {Path("notes.txt") + '\0' + Path("wide.bmp")}, kKept},
        {"drop a name too long", kDrop, {cut + "ccc.bmp"}, kKept},
        {"version", IDM_VERSION_INFO, {kOk}, kKept, kSame, "バージョン情報|Velmora 05 Copyright (C) 2026 Velmora 開発チーム;"},
        {"web page", IDM_AUTHOR_SITE, {}, kKept, kSame, "https://velmora.example.com/"},
        {"image size", IDM_IMAGE_SIZE, {kOk}, kKept, kSame, "画像サイズ|幅：7ピクセル　高さ：2ピクセル;"},
        {"a title past wsprintfA's limit", 0, {}, kKept, kSame, "", "C:\\" + std::string(1500, 'n')},
        {"drop tall", kDrop, {Path("tall.bmp")}, kCleared, "tall.bmp"},
        {"open tall", IDM_OPEN, {"tall.bmp"}, kCleared, "tall.bmp"},
        {"save as, no room for .bmp", IDM_SAVE_AS, {full}, kKept, kSame, "保存;"},
    };
    // clang-format on
    for (const bool painted : {false, true}) {
        OpenClipboard(nullptr);
        EmptyClipboard();
        CloseClipboard();
        for (const char* name : {"plain.bmp", "X.BMP", "fresh.bmp"})
            DeleteFileA(Path(name).c_str());
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(step.name) + (painted ? ", painted before" : ""));
            SetCurrentFileName(Path(step.startFile).c_str());
            g_modified = painted;
            std::string shown;
            if (step.command == kPress) {
                SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, 0);
                SendMessageA(g_canvas, WM_LBUTTONUP, 0, 0);
            } else if (step.command == kDrop) {
                const HGLOBAL block = Drop(step.answers[0]);
                EXPECT_EQ(UINT(GMEM_INVALID_HANDLE), GlobalFlags(block)) << "still held";
                const bool opened = step.flag == kCleared;
                EXPECT_EQ(opened, lstrcmpA(g_currentFileName, g_dialogFile) == 0) << "next dialog";
            } else {
                shown = Run(step.command, step.answers);
            }
            const bool flag = step.flag == kSet || (step.flag == kKept && painted);
            const std::string file = step.endFile == kSame ? step.startFile : step.endFile;
            EXPECT_EQ(flag, g_modified);
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
        }
    }
    EXPECT_EQ(full, g_dialogFileTitle) << "appended past the name";
}

// A drag stamps and reads out only where the user sees the picture.
TEST_F(ShellTest, CanvasScrollsAndPaintsWhatTheUserSees) {
    ASSERT_TRUE(g_image.Create(2000, 70000));
    RefitCanvas();
    RECT view;
    GetClientRect(g_canvas, &view);
    const int page = view.bottom;
    // Past 16 bits the bar's own position, not the message's word, is the thumb.
    for (const int bar : {SB_HORZ, SB_VERT}) {
        int32_t& offset = bar == SB_HORZ ? g_scrollX : g_scrollY;
        const int shown = bar == SB_HORZ ? view.right : view.bottom;
        const int last = (bar == SB_HORZ ? 2000 : 70000) - shown;
        const int steps[] = {-1, 1, -shown, shown, 0, 7};  // by code: lines, pages, a thumb 7 on
        for (const int code : {SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK})
            for (const int from : {0, 1, last - 1, last}) {
                SetScrollPos(g_canvas, bar, from, FALSE);
                offset = from;
                const WPARAM message = MAKEWPARAM(code, WORD(from + 7));
                SendMessageA(g_canvas, bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, message, 0);
                const bool wide = bar == SB_VERT && code == SB_THUMBTRACK;
                const int want = wide ? from : std::clamp(from + steps[code], 0, last);
                SCOPED_TRACE(testing::Message()
                             << "bar " << bar << " code " << code << " from " << from);
                EXPECT_EQ(want, offset);
                EXPECT_EQ(want, GetScrollPos(g_canvas, bar));
            }
    }
    // A scroll shows the picture at its new offset at once, before any other message.
    SetScrollPos(g_canvas, SB_HORZ, 100, FALSE);
    SetScrollPos(g_canvas, SB_VERT, 101, FALSE);
    g_scrollX = 100;
    g_scrollY = 101;
    g_image.SetRed(130, 130, 250);
    SendMessageA(g_canvas, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_TRUE(PictureInView() == Shown(g_canvas)) << "after a scroll";
    g_adjust = {10, -5, 3, 3};
    Picture want = Capture(g_image);
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    ModelStamp(want, g_adjust, 130, 130);
    EXPECT_EQ("(130,130)-R:255,G:0,B:3", Text(g_statusBar));
    EXPECT_EQ(g_canvas, GetCapture());
    g_adjust = {120, 0, 0, 16};
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
    EXPECT_TRUE(PictureInView() == Shown(g_canvas)) << "after a drag across the view's edges";
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
    EXPECT_EQ("(400,104)-R:0,G:0,B:0", Text(g_statusBar));
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
    // At 96: labels, boxes, arrows, left to right, and the canvas's corner.
    const std::vector<LONG> always = {4,   5,  26,  25, 108, 5,  130, 25, 212, 5,  234, 25, 320, 5,
                                      442, 25, 28,  4,  76,  26, 132, 4,  180, 26, 234, 4,  282, 26,
                                      442, 4,  490, 26, 76,  4,  100, 26, 180, 4,  204, 26, 282, 4,
                                      306, 26, 490, 4,  514, 26, 0,   32};
    EXPECT_EQ(always, at96);
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
    const HWND box = g_adjustBar.edit[kAdjustBlue];
    SendMessageA(g_adjustBar.upDown[kAdjustBlue], UDM_SETPOS32, 0, -42);
    SendMessageA(box, EM_SETSEL, 0, -1);
    Run(IDM_COPY_BITMAP);
    g_modified = true;
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;  // held while the keys go through the program's own loop
    SetKeyboardState(keys);
    for (const char key : {'V', 'S', 'C'})
        PostMessageA(box, WM_KEYDOWN, key, 1);
    PostQuitMessage(0);
    RunMessageLoop();
    keys[VK_CONTROL] = 0;
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
    EXPECT_NE(nullptr, HCURSOR(GetClassLongPtrA(g_canvas, GCLP_HCURSOR)));
    g_adjust = {0, 0, 9, 1};
    const uint8_t blue = g_image.GetBlue(2, 2999);
    Run(IDM_WHOLE_IMAGE);
    EXPECT_EQ(blue + 9, g_image.GetBlue(2, 2999)) << "the whole-image command";
    // A refused window ends with 1 the loop nothing else could end.
    const auto refuse = [](int code, WPARAM w, LPARAM l) -> LRESULT {
        return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, w, l);
    };
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, nullptr, GetCurrentThreadId());
    EXPECT_EQ(1, RunVelmora(GetModuleHandleA(nullptr), "velmora.exe"));
    UnhookWindowsHookEx(hook);
}

}  // namespace
