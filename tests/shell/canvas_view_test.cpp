#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "shell/canvas_view.h"
#include "shell/shell_state.h"
#include "tests/shell/shell_fixture.h"

namespace {

// Counts the canvas's paints by standing in front of its procedure.
int g_paints = 0;
WNDPROC g_canvasProc = nullptr;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_paints += message == WM_PAINT;
    return CallWindowProcA(g_canvasProc, window, message, wParam, lParam);
}

class CanvasViewTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        main = Start();
    }
    // A new image of the given size on a canvas window of windowW x windowH, refitted the way
    // the commands do it. Showing or hiding a bar changes the client area and so sends further
    // size messages; the client size is what counts, and the tests read it back.
    void ShowImage(int32_t width, int32_t height, int windowW, int windowH) {
        ASSERT_TRUE(g_image.Create(width, height));
        g_shownWidth = width;
        g_shownHeight = height;
        MoveWindow(g_canvas, 0, 32, windowW - 1, windowH, FALSE);
        MoveWindow(g_canvas, 0, 32, windowW, windowH, TRUE);
    }
    SIZE Client() {
        RECT r;
        GetClientRect(g_canvas, &r);
        return SIZE{r.right, r.bottom};
    }
    SCROLLINFO Bar(int bar) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        GetScrollInfo(g_canvas, bar, &info);
        return info;
    }
    void Press(int x, int y) {
        EXPECT_EQ(0, SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)));
    }
    void Move(int x, int y, WPARAM keys = 0) {
        EXPECT_EQ(0, SendMessageA(g_canvas, WM_MOUSEMOVE, keys, MAKELPARAM(x, y)));
    }
    HWND main = nullptr;
};

// Both bars span 0 to the image size with a page of the client; every step keeps the offset
// within 0 to range less page, and only a step that moves it repaints and moves the thumb.
TEST_F(CanvasViewTest, ScrollStepTable) {
    const int bar = GetSystemMetrics(SM_CYHSCROLL);
    // Wider than the client; exactly as high as what the horizontal bar leaves counts as fitting.
    ShowImage(1000, 300 - bar, 400, 300);
    ASSERT_EQ(400, Client().cx);
    ASSERT_EQ(300 - bar, Client().cy);
    EXPECT_EQ(1000, Bar(SB_HORZ).nMax);
    EXPECT_EQ(400u, Bar(SB_HORZ).nPage);
    EXPECT_EQ(0, Bar(SB_VERT).nMax);
    EXPECT_EQ(0u, Bar(SB_VERT).nPage);

    const struct {
        const char* name;
        int32_t from;
        WORD code;
        WORD thumb;
        int32_t to;
        bool repaints;
    } cases[] = {
        {"line right", 10, SB_LINERIGHT, 0, 11, true},
        {"line left", 10, SB_LINELEFT, 0, 9, true},
        {"line left at zero", 0, SB_LINELEFT, 0, 0, true},
        {"thumb past the end", 0, SB_THUMBTRACK, 601, 600, true},
        {"thumb inside", 0, SB_THUMBTRACK, 250, 250, true},
        {"thumb to where it is", 250, SB_THUMBTRACK, 250, 250, false},
        {"page right near the end", 500, SB_PAGERIGHT, 0, 600, true},
        {"page left near zero", 100, SB_PAGELEFT, 0, 0, true},
        {"page right", 100, SB_PAGERIGHT, 0, 500, true},
        {"line right at the end", 600, SB_LINERIGHT, 0, 600, true},
        {"thumb position", 300, SB_THUMBPOSITION, 10, 300, false},
        {"top", 300, SB_LEFT, 0, 300, false},
        {"bottom", 300, SB_RIGHT, 0, 300, false},
        {"end scroll", 300, SB_ENDSCROLL, 0, 300, false},
    };
    g_canvasProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    ValidateRect(g_canvas, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_scrollX = c.from;
        SetScrollPos(g_canvas, SB_HORZ, c.from, FALSE);
        g_paints = 0;
        EXPECT_EQ(0, SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), 0));
        EXPECT_EQ(c.to, g_scrollX);
        EXPECT_EQ(c.repaints ? 1 : 0, g_paints);
        EXPECT_EQ(c.to, GetScrollPos(g_canvas, SB_HORZ));
    }
    EXPECT_EQ(0, g_scrollY);

    // The vertical bar by the same rule, from its own page.
    g_scrollX = 0;
    ShowImage(100, 700, 300, 250);
    ASSERT_EQ(250, Client().cy);
    EXPECT_EQ(700, Bar(SB_VERT).nMax);
    EXPECT_EQ(250u, Bar(SB_VERT).nPage);
    const struct {
        WORD code, thumb;
        int32_t to;
    } vertical[] = {{SB_THUMBTRACK, 999, 450}, {SB_PAGEUP, 0, 200}, {SB_LINEDOWN, 0, 201}};
    for (const auto& v : vertical) {
        SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(v.code, v.thumb), 0);
        EXPECT_EQ(v.to, g_scrollY);
    }
    EXPECT_EQ(0, g_scrollX);

    // Images taller than 16 bits can carry: not tracking, the bar reports its position, so a
    // truncated 16-bit value must not win.
    g_shownHeight = 70000;  // the shown size alone drives the bars
    MoveWindow(g_canvas, 0, 32, 300, 200, TRUE);
    EXPECT_EQ(70000, Bar(SB_VERT).nMax);
    g_scrollY = 69000;
    SetScrollPos(g_canvas, SB_VERT, 69000, TRUE);
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 69000 & 0xFFFF), 0);
    EXPECT_EQ(69000, g_scrollY);
}

// Growing the client or shrinking the image lowers the offset at once; a smaller one stays.
TEST_F(CanvasViewTest, SizeMessageLowersTheOffsetOnly) {
    ShowImage(1000, 200, 400, 300);
    SetScrollPos(g_canvas, SB_HORZ, 600, FALSE);
    const struct {
        int32_t imageWidth;  // 0: only the window grows to windowW
        int windowW;
        int32_t offset;
    } steps[] = {{0, 700, 300}, {0, 400, 300}, {500, 400, 100}, {400, 400, 0}};
    for (const auto& s : steps) {
        if (s.imageWidth == 0) {
            MoveWindow(g_canvas, 0, 32, s.windowW, 300, TRUE);
        } else {
            ShowImage(s.imageWidth, 200, s.windowW, 300);
        }
        EXPECT_EQ(s.offset, g_scrollX) << s.imageWidth << " on " << s.windowW;
        EXPECT_EQ(s.offset, Bar(SB_HORZ).nPos);
    }
    EXPECT_EQ(0, Bar(SB_HORZ).nMax);  // fits exactly: bar hidden
    EXPECT_EQ(0u, Bar(SB_HORZ).nPage);
}

// The readout names the image point under the scrolled canvas; off the image it keeps the last
// text. A move with the button flag but no press on the canvas never stamps.
TEST_F(CanvasViewTest, ReadoutRules) {
    ShowImage(1000, 1000, 400, 300);
    g_image.SetRed(13, 24, 200);
    g_image.SetGreen(13, 24, 100);
    g_image.SetBlue(13, 24, 7);
    g_scrollX = 10;
    g_scrollY = 20;
    Move(3, 4, MK_LBUTTON);
    EXPECT_EQ("(13,24)-R:200,G:100,B:7", StatusBarText());
    EXPECT_EQ(200, g_image.GetRed(13, 24));
    EXPECT_FALSE(g_modified);

    g_scrollX = 0;
    g_scrollY = 0;
    ShowImage(50, 40, 400, 300);
    Move(49, 39);
    EXPECT_EQ("(49,39)-R:0,G:0,B:0", StatusBarText());
    for (const POINT off : {POINT{50, 10}, POINT{10, 40}, POINT{300, 200}}) {
        Move(off.x, off.y);
        EXPECT_EQ("(49,39)-R:0,G:0,B:0", StatusBarText()) << off.x << "," << off.y;
    }
}

TEST_F(CanvasViewTest, PressStampsWithTheCurrentSettingsEvenOnTheGrayArea) {
    ShowImage(64, 64, 400, 300);
    g_image.SetRed(20, 20, 250);
    g_adjust = {10, -5, 3, 3};
    Press(20, 20);
    EXPECT_EQ("(20,20)-R:255,G:0,B:3", StatusBarText());  // clamped on both sides
    EXPECT_TRUE(g_modified);
    for (int y = 18; y <= 22; ++y) {
        for (int x = 18; x <= 22; ++x) {
            const bool inPen = x >= 19 && x <= 21 && y >= 19 && y <= 21;
            EXPECT_EQ(inPen ? 3 : 0, g_image.GetBlue(x, y)) << x << "," << y;
        }
    }
    // A double-click is two presses: two stamps.
    SendMessageA(g_canvas, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 40));
    Press(40, 40);
    Press(40, 40);
    EXPECT_EQ(6, g_image.GetBlue(40, 40));

    // Off the image a big pen still reaches its edge; the readout names the point pressed.
    g_modified = false;
    g_adjust = {0, 90, 0, 16};
    Press(70, 10);
    EXPECT_EQ("(70,10)-R:0,G:0,B:0", StatusBarText());
    EXPECT_TRUE(g_modified);
    EXPECT_EQ(90, g_image.GetGreen(63, 10));
    EXPECT_EQ(90, g_image.GetGreen(62, 2));
    EXPECT_EQ(0, g_image.GetGreen(61, 10));
    EXPECT_EQ(0, g_image.GetGreen(63, 18));
}

// Only a drag begun with a press on the canvas paints, and by the move's own key flags: a button
// held since a press elsewhere (the double-click that closed a dialog) never paints; a drag
// stamps every move over the image, the last before the release included, the gray area never,
// and the points are not joined; a release or a lost capture ends it.
TEST_F(CanvasViewTest, OnlyADragBegunOnTheCanvasPaints) {
    ShowImage(200, 150, 500, 300);
    g_adjust = {0, 0, 70, 3};
    SetForegroundWindow(main);
    RECT client;
    GetClientRect(main, &client);
    POINT emptyBarSpot = {client.right - 20, 16};  // right of the pen-size controls
    ClientToScreen(main, &emptyBarSpot);
    MoveCursorTo(emptyBarSpot);
    {
        SyntheticButton button;
        ASSERT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
        Move(5, 5, MK_LBUTTON);
        Move(5, 5);
    }
    EXPECT_EQ(0, g_image.GetBlue(5, 5));
    EXPECT_FALSE(g_modified);

    Press(5, 5);
    EXPECT_EQ(g_canvas, GetCapture());
    // Sent moves leave the device's button up, so each stamp here comes from the flags.
    for (const POINT p : {POINT{5, 5}, POINT{20, 5}, POINT{200, 5}, POINT{400, 100}}) {
        Move(p.x, p.y, MK_LBUTTON);
    }
    Move(40, 5);
    EXPECT_EQ(140, g_image.GetBlue(5, 5));
    EXPECT_EQ(0, g_image.GetBlue(12, 5));
    EXPECT_EQ(70, g_image.GetBlue(21, 5));
    EXPECT_EQ(0, g_image.GetBlue(199, 5));
    EXPECT_EQ(0, g_image.GetBlue(40, 5));
    EXPECT_EQ(0, SendMessageA(g_canvas, WM_LBUTTONUP, 0, MAKELPARAM(40, 5)));
    EXPECT_EQ(nullptr, GetCapture());
    Move(60, 5, MK_LBUTTON);
    Press(80, 5);
    SendMessageA(g_canvas, WM_CAPTURECHANGED, 0, 0);
    Move(100, 5, MK_LBUTTON);
    EXPECT_EQ(0, g_image.GetBlue(60, 5));
    EXPECT_EQ(0, g_image.GetBlue(100, 5));
}

// Painting with no image leaves the background alone (the drawn image itself is checked
// clip by clip with the paint timing).
TEST(CanvasPaintTest, AnEmptyImagePaintsNothing) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = -3;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, dib);
    HGDIOBJ old = SelectObject(dc, dib);
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + 12, 0x808080u);
    g_image.Release();
    PaintContent(dc);
    GdiFlush();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(0x808080u, pixels[i] & 0xFFFFFF) << i;
    }
    g_image.Create(128, 128);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

}  // namespace
