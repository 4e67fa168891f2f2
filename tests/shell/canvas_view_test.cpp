// The canvas: scrolling, the readout, pen stamps from presses and drags, and painting.
#include "tests/shell/shell_fixture.h"

namespace {

class CanvasTest : public ShellTest {
  protected:
    // A new picture on a canvas window of the given size, refitted as the commands do it.
    SIZE Show(int32_t width, int32_t height, int windowWidth = 400) {
        Start();
        EXPECT_TRUE(g_image.Create(width, height));
        g_shownWidth = width;
        g_shownHeight = height;
        MoveWindow(g_canvas, 0, 32, windowWidth, 300, TRUE);
        RECT r;
        GetClientRect(g_canvas, &r);
        return {r.right, r.bottom};
    }
};

// Every step keeps the offset within 0 to size less page, and moves the thumb when it moves;
// a thumb past 16 bits is read from the bar. A growing client lowers the offset at once.
TEST_F(CanvasTest, ScrollStepsStayOnThePicture) {
    const int page = Show(1000, 70000).cx, end = 1000 - page;
    const struct {
        int from, code, thumb, to;
        bool moves;
    } steps[] = {
        {10, SB_LINERIGHT, 0, 11, true},       {10, SB_LINELEFT, 0, 9, true},
        {0, SB_LINELEFT, 0, 0, true},          {end, SB_LINERIGHT, 0, end, true},
        {0, SB_THUMBTRACK, 999, end, true},    {9, SB_THUMBTRACK, 250, 250, true},
        {250, SB_THUMBTRACK, 250, 250, false}, {end - 5, SB_PAGERIGHT, 0, end, true},
        {page + 9, SB_PAGELEFT, 0, 9, true},   {9, SB_PAGELEFT, 0, 0, true},
        {30, SB_THUMBPOSITION, 10, 30, false}, {30, SB_RIGHT, 0, 30, false},
    };
    for (const auto& s : steps) {
        g_scrollX = s.from;
        SetScrollPos(g_canvas, SB_HORZ, 123, FALSE);
        SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(s.code, s.thumb), 0);
        EXPECT_EQ(s.to, g_scrollX) << s.code << " from " << s.from;
        EXPECT_EQ(s.moves ? s.to : 123, GetScrollPos(g_canvas, SB_HORZ)) << s.code;
    }
    EXPECT_EQ(0, g_scrollY);
    SetScrollPos(g_canvas, SB_VERT, 69000, FALSE);
    SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 69000 & 0xFFFF), 0);
    EXPECT_EQ(69000, g_scrollY);
    g_scrollX = end;
    MoveWindow(g_canvas, 0, 32, 700, 300, TRUE);
    RECT r;
    GetClientRect(g_canvas, &r);
    EXPECT_EQ(1000 - r.right, g_scrollX);
}

// The readout names the picture point under the scrolled canvas and keeps its text off the
// picture. A press stamps wherever it lands, a big pen off the edge included; a move stamps
// only while the device's button is down, at each point and without joining them.
TEST_F(CanvasTest, PressesAndDragsStampUnderTheReadout) {
    Show(64, 64);
    g_image.SetRed(20, 20, 250);
    g_adjust = {10, -5, 3, 3};
    SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20));
    EXPECT_EQ("(20,20)-R:255,G:0,B:3", StatusBarText());
    for (const POINT p : {POINT{19, 19}, {21, 21}, {18, 20}, {20, 22}}) {  // pen 19 to 21
        EXPECT_EQ(p.x == 18 || p.y == 22 ? 0 : 3, g_image.GetBlue(p.x, p.y)) << p.x << "," << p.y;
    }
    g_adjust = {0, 90, 0, 16};
    SendMessageA(g_canvas, WM_LBUTTONDOWN, 0, MAKELPARAM(70, 10));
    EXPECT_EQ("(70,10)-R:0,G:0,B:0", StatusBarText());
    EXPECT_EQ(90, g_image.GetGreen(63, 2));
    EXPECT_EQ(0, g_image.GetGreen(61, 10));
    g_modified = false;
    g_scrollX = 10;
    g_scrollY = 20;
    for (const bool down : {false, true}) {
        LeftButton(down);
        for (const POINT p : {POINT{3, 4}, {3, 4}, {30, 4}, {60, 50}}) {
            SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        }
        EXPECT_EQ(down ? 180 : 0, g_image.GetGreen(13, 24)) << down;
        EXPECT_EQ(0, g_image.GetGreen(25, 24));
        EXPECT_EQ(down ? "(40,24)-R:0,G:90,B:0" : "(40,24)-R:0,G:0,B:0", StatusBarText());
        EXPECT_EQ(down, g_modified);
    }
    LeftButton(false);
}

// The picture shows at the negated scroll offsets over the gray background; none, no drawing.
TEST_F(CanvasTest, PaintingShowsThePictureAtTheOffsets) {
    Show(6, 5);
    FillPattern(g_image);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, 8, 8));
    for (const bool empty : {false, true}) {
        PatBlt(dc, 0, 0, 8, 8, WHITENESS);
        g_scrollX = 2;
        g_scrollY = 1;
        PaintContent(dc);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const int ix = x + 2, iy = y + 1;
                const COLORREF want = !empty && g_image.Contains(ix, iy)
                                          ? RGB(g_image.GetRed(ix, iy), g_image.GetGreen(ix, iy),
                                                g_image.GetBlue(ix, iy))
                                          : RGB(255, 255, 255);
                EXPECT_EQ(want, GetPixel(dc, x, y)) << x << "," << y;
            }
        }
        g_image.Release();
    }
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

}  // namespace
