#include <windows.h>

#include <commctrl.h>

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
    if (message == WM_PAINT) {
        ++g_paints;
    }
    return CallWindowProcA(g_canvasProc, window, message, wParam, lParam);
}

class CanvasViewTest : public ShellTest {
  protected:
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
    void CountPaints() {
        g_canvasProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
        ValidateRect(g_canvas, nullptr);
        g_paints = 0;
    }
    SCROLLINFO Bar(int bar) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        GetScrollInfo(g_canvas, bar, &info);
        return info;
    }
    static std::string Readout(int x, int y) {
        char text[64];
        wsprintfA(text, "(%d,%d)-R:%d,G:%d,B:%d", x, y, g_image.GetRed(x, y),
                  g_image.GetGreen(x, y), g_image.GetBlue(x, y));
        return text;
    }
};

TEST_F(CanvasViewTest, ScrollBarsSpanTheImageWithAPageOfTheClient) {
    Start();
    const int bar = GetSystemMetrics(SM_CYHSCROLL);
    // Wider than the client; exactly as high as what the horizontal bar leaves counts as fitting.
    ShowImage(1000, 300 - bar, 400, 300);
    ASSERT_EQ(400, Client().cx);
    ASSERT_EQ(300 - bar, Client().cy);
    SCROLLINFO h = Bar(SB_HORZ);
    EXPECT_EQ(0, h.nMin);
    EXPECT_EQ(1000, h.nMax);
    EXPECT_EQ(400u, h.nPage);
    EXPECT_EQ(0, h.nPos);
    SCROLLINFO v = Bar(SB_VERT);
    EXPECT_EQ(0, v.nMax);
    EXPECT_EQ(0u, v.nPage);
    EXPECT_EQ(0, g_scrollY);
}

struct StepCase {
    const char* name;
    int32_t from;
    WORD code;
    WORD thumb;
    int32_t to;
    bool repaints;
};

TEST_F(CanvasViewTest, HorizontalStepsStayWithinZeroToRangeLessPage) {
    Start();
    const std::vector<StepCase> cases = {
        {"line_right", 10, SB_LINERIGHT, 0, 11, true},
        {"line_left", 10, SB_LINELEFT, 0, 9, true},
        {"line_left_at_zero", 0, SB_LINELEFT, 0, 0, true},
        {"thumb_past_the_end", 0, SB_THUMBTRACK, 601, 600, true},
        {"thumb_inside", 0, SB_THUMBTRACK, 250, 250, true},
        {"thumb_to_where_it_is", 250, SB_THUMBTRACK, 250, 250, false},
        {"page_right_from_500", 500, SB_PAGERIGHT, 0, 600, true},
        {"page_left_from_100", 100, SB_PAGELEFT, 0, 0, true},
        {"page_right_from_100", 100, SB_PAGERIGHT, 0, 500, true},
        {"line_right_at_the_end", 600, SB_LINERIGHT, 0, 600, true},
        {"thumb_position", 300, SB_THUMBPOSITION, 10, 300, false},
        {"top", 300, SB_LEFT, 0, 300, false},
        {"bottom", 300, SB_RIGHT, 0, 300, false},
        {"end_scroll", 300, SB_ENDSCROLL, 0, 300, false},
    };
    ShowImage(1000, 200, 400, 300);
    ASSERT_EQ(400, Client().cx);
    CountPaints();
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_scrollX = c.from;
        SetScrollPos(g_canvas, SB_HORZ, 123, FALSE);  // a stale thumb shows whether it moved
        g_paints = 0;
        EXPECT_EQ(0, SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), 0));
        EXPECT_EQ(c.to, g_scrollX);
        EXPECT_EQ(c.repaints ? 1 : 0, g_paints);
        EXPECT_EQ(c.repaints ? c.to : 123, GetScrollPos(g_canvas, SB_HORZ));
    }
    EXPECT_EQ(0, g_scrollY);
}

TEST_F(CanvasViewTest, VerticalBarFollowsTheSameRule) {
    Start();
    ShowImage(100, 700, 300, 250);
    ASSERT_EQ(250, Client().cy);
    EXPECT_EQ(700, Bar(SB_VERT).nMax);
    EXPECT_EQ(250u, Bar(SB_VERT).nPage);
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 999), 0);
    EXPECT_EQ(450, g_scrollY);
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_PAGEUP, 0), 0);
    EXPECT_EQ(200, g_scrollY);
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(201, g_scrollY);
    EXPECT_EQ(0, g_scrollX);
}

// Growing the client or shrinking the image lowers the offset at once; a smaller one stays.
TEST_F(CanvasViewTest, SizeMessageLowersTheOffsetOnly) {
    Start();
    ShowImage(1000, 200, 400, 300);
    g_scrollX = 600;
    MoveWindow(g_canvas, 0, 32, 700, 300, TRUE);
    EXPECT_EQ(300, g_scrollX);
    EXPECT_EQ(300, Bar(SB_HORZ).nPos);
    MoveWindow(g_canvas, 0, 32, 400, 300, TRUE);
    EXPECT_EQ(300, g_scrollX);
    ShowImage(500, 200, 400, 300);
    EXPECT_EQ(100, g_scrollX);
    ShowImage(400, 200, 400, 300);  // fits exactly: bar hidden, offset 0
    EXPECT_EQ(0, g_scrollX);
    EXPECT_EQ(0, Bar(SB_HORZ).nMax);
    EXPECT_EQ(0u, Bar(SB_HORZ).nPage);
}

// Images taller than 16 bits can carry: the offset still follows the track position.
TEST_F(CanvasViewTest, ThumbTrackOnAHugeRangeUsesTheBarsTrackPosition) {
    Start();
    g_shownWidth = 100;
    g_shownHeight = 70000;  // the shown size alone drives the bars
    MoveWindow(g_canvas, 0, 32, 300, 200, TRUE);
    EXPECT_EQ(70000, Bar(SB_VERT).nMax);
    g_scrollY = 69000;
    SetScrollPos(g_canvas, SB_VERT, 69000, TRUE);
    // Not tracking: the bar reports its position, so a truncated 16-bit value must not win.
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 69000 & 0xFFFF), 0);
    EXPECT_EQ(69000, g_scrollY);
}

TEST_F(CanvasViewTest, MouseMoveReadsOutTheImagePointUnderTheScrolledCanvas) {
    Start();
    ShowImage(1000, 1000, 400, 300);
    g_image.SetRed(13, 24, 200);
    g_image.SetGreen(13, 24, 100);
    g_image.SetBlue(13, 24, 7);
    g_scrollX = 10;
    g_scrollY = 20;
    EXPECT_EQ(0, SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 4)));
    EXPECT_EQ("(13,24)-R:200,G:100,B:7", StatusBarText());
    // The message's key flags are not the button: nothing is stamped.
    EXPECT_EQ(200, g_image.GetRed(13, 24));
    EXPECT_FALSE(g_modified);
}

TEST_F(CanvasViewTest, MoveBeyondTheImageKeepsTheLastReadout) {
    Start();
    ShowImage(50, 40, 400, 300);
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(49, 39));
    EXPECT_EQ("(49,39)-R:0,G:0,B:0", StatusBarText());
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(50, 10));
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(10, 40));
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    EXPECT_EQ("(49,39)-R:0,G:0,B:0", StatusBarText());
}

TEST_F(CanvasViewTest, PressStampsWithTheCurrentSettingsAndReadsOutTheNewColour) {
    Start();
    ShowImage(64, 64, 400, 300);
    g_image.SetRed(20, 20, 250);
    g_adjust = {10, -5, 3, 3};
    EXPECT_EQ(0, SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20)));
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
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
    EXPECT_EQ(6, g_image.GetBlue(40, 40));
}

TEST_F(CanvasViewTest, PressOnTheGrayAreaStillStampsTheEdgeAndSetsTheFlag) {
    Start();
    ShowImage(50, 50, 400, 300);
    g_adjust = {0, 90, 0, 16};
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(55, 10));
    EXPECT_EQ("(55,10)-R:0,G:0,B:0", StatusBarText());
    EXPECT_TRUE(g_modified);
    EXPECT_EQ(90, g_image.GetGreen(49, 10));
    EXPECT_EQ(90, g_image.GetGreen(47, 2));
    EXPECT_EQ(0, g_image.GetGreen(46, 10));
    EXPECT_EQ(0, g_image.GetGreen(49, 18));
}

// The drag road: the button state comes from the device. A button pressed outside the canvas
// and moved into it paints every move over the image, the same point again included, and
// never over the gray area.
TEST_F(CanvasViewTest, MovesWithTheButtonHeldStampOncePerMessage) {
    HWND main = Start();
    ShowImage(60, 60, 400, 300);
    g_adjust = {30, 0, 0, 1};
    SetForegroundWindow(main);
    RECT client;
    GetClientRect(main, &client);
    POINT emptyBarSpot = {client.right - 20, 16};  // right of the pen-size controls
    ClientToScreen(main, &emptyBarSpot);
    MoveCursorTo(emptyBarSpot);
    {
        SyntheticButton button;
        ASSERT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
        SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
        EXPECT_EQ("(6,5)-R:30,G:0,B:0", StatusBarText());
        std::vector<uint8_t> before(g_image.GetPixels(), g_image.GetPixels() + 60 * 60 * 4);
        SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(60, 5));
        SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(200, 100));
        EXPECT_EQ(0, std::memcmp(before.data(), g_image.GetPixels(), before.size()));
        EXPECT_EQ("(6,5)-R:30,G:0,B:0", StatusBarText());
    }
    EXPECT_EQ(60, g_image.GetRed(5, 5));
    EXPECT_EQ(30, g_image.GetRed(6, 5));
    EXPECT_TRUE(g_modified);
    SendMessageA(g_canvas, WM_MOUSEMOVE, 0, MAKELPARAM(7, 5));  // released: readout only
    EXPECT_EQ(0, g_image.GetRed(7, 5));
    EXPECT_EQ("(7,5)-R:0,G:0,B:0", StatusBarText());
}

// The same drag as a user makes it, through the system's input queue.
TEST_F(CanvasViewTest, RealDragPaintsWhereTheCursorWent) {
    HWND main = Start();
    ASSERT_TRUE(g_image.Create(200, 150));
    g_shownWidth = 200;
    g_shownHeight = 150;
    RECT canvasClient;
    GetClientRect(g_canvas, &canvasClient);
    SendMessageA(g_canvas, WM_SIZE, 0, MAKELPARAM(canvasClient.right, canvasClient.bottom));
    ASSERT_GT(canvasClient.right, 320);
    ASSERT_GT(canvasClient.bottom, 150);
    g_adjust = {0, 0, 70, 1};
    SetForegroundWindow(main);
    PumpMessages();

    auto screenOf = [](int x, int y) {
        POINT p = {x, y};
        ClientToScreen(g_canvas, &p);
        return p;
    };
    auto imagePoint = [](POINT screen) {
        ScreenToClient(g_canvas, &screen);
        return POINT{screen.x + g_scrollX, screen.y + g_scrollY};
    };
    auto readoutAt = [&](POINT p) {
        return PumpUntil([&] {
            return StatusBarText().rfind(
                       "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")", 0) == 0;
        });
    };

    const POINT p0 = imagePoint(MoveCursorTo(screenOf(20, 20)));
    ASSERT_TRUE(readoutAt(p0));
    EXPECT_EQ(0, g_image.GetBlue(p0.x, p0.y));
    POINT p1, p2, gray;
    {
        SyntheticButton button;
        ASSERT_TRUE(PumpUntil([&] { return g_image.GetBlue(p0.x, p0.y) == 70; }));
        p1 = imagePoint(MoveCursorTo(screenOf(60, 20)));
        ASSERT_TRUE(readoutAt(p1));
        p2 = imagePoint(MoveCursorTo(screenOf(100, 60)));
        ASSERT_TRUE(readoutAt(p2));
        const std::string last = StatusBarText();
        gray = imagePoint(MoveCursorTo(screenOf(300, 60)));
        PumpMessages();
        Sleep(100);
        PumpMessages();
        EXPECT_EQ(last, StatusBarText());
    }
    const POINT p3 = imagePoint(MoveCursorTo(screenOf(120, 100)));
    ASSERT_TRUE(readoutAt(p3));

    EXPECT_EQ(70, g_image.GetBlue(p0.x, p0.y));
    EXPECT_EQ(70, g_image.GetBlue(p1.x, p1.y));
    EXPECT_EQ(70, g_image.GetBlue(p2.x, p2.y));
    EXPECT_EQ(0, g_image.GetBlue(p3.x, p3.y));
    EXPECT_EQ(0, g_image.GetBlue((p1.x + p2.x) / 2, (p1.y + p2.y) / 2));  // points are not joined
    EXPECT_GE(gray.x, 200);
    EXPECT_TRUE(g_modified);
}

// Painting into a memory bitmap: the image lands at the negated offsets, rows top first, and
// an empty image leaves the background alone.
TEST(CanvasPaintTest, PaintContentDrawsAtTheNegatedOffsets) {
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
    const uint32_t gray = 0x808080;

    ASSERT_TRUE(g_image.Create(5, 4));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            g_image.SetRed(x, y, 10 * x);
            g_image.SetGreen(x, y, 10 * y);
            g_image.SetBlue(x, y, 1);
        }
    }
    g_scrollX = 2;
    g_scrollY = 1;
    std::fill(pixels, pixels + 12, gray);
    PaintContent(dc);
    GdiFlush();
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int ix = x + 2, iy = y + 1;
            const uint32_t expected =
                ix < 5 ? (uint32_t(10 * ix) << 16 | uint32_t(10 * iy) << 8 | 1u) : gray;
            EXPECT_EQ(expected, pixels[y * 4 + x] & 0xFFFFFF) << x << "," << y;
        }
    }

    g_image.Release();
    std::fill(pixels, pixels + 12, gray);
    PaintContent(dc);
    GdiFlush();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(gray, pixels[i] & 0xFFFFFF);
    }

    g_scrollX = 0;
    g_scrollY = 0;
    g_image.Create(128, 128);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

}  // namespace
