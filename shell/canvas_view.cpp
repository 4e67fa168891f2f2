#include "shell/canvas_view.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "shell/display_scale.h"
#include "shell/shell_state.h"

namespace {

constexpr char kCanvasClassName[] = "CBMPWin";

// Set by a press on the canvas; cleared by the release or the loss of the capture.
bool g_canvasDragging = false;

void Repaint(HWND canvas) {
    InvalidateRgn(canvas, nullptr, FALSE);
    UpdateWindow(canvas);
}

SCROLLINFO ReadBar(HWND canvas, int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(canvas, bar, &info);
    return info;
}

// Hands the bar a position (and, with SIF_ALL, its range and page) and returns the position
// the bar kept, which is then the one the canvas draws at.
int32_t WriteBar(HWND canvas, int bar, SCROLLINFO info) {
    info.cbSize = sizeof(info);
    SetScrollInfo(canvas, bar, &info, TRUE);
    return ReadBar(canvas, bar).nPos;
}

// An offset stays within 0 to size - page; the bar would allow one more (its last position is
// nMax - nPage + 1), which would show a row or column past the picture.
int32_t ClampOffset(int32_t offset, const SCROLLINFO& info) {
    const int32_t last = info.nMax - static_cast<int32_t>(info.nPage);
    if (offset >= last) {
        offset = last;
    }
    if (offset <= 0) {
        offset = 0;
    }
    return offset;
}

// The bar spans 0 to the image size with a page of the client size; the offset drops at once
// when the canvas grows or the image shrinks.
int32_t SetUpAxis(HWND canvas, int bar, int32_t client, int32_t shown) {
    SCROLLINFO info = {};
    info.fMask = SIF_ALL;
    if (client < shown) {
        info.nMax = shown;
        info.nPage = static_cast<UINT>(client);
    }
    info.nPos = ClampOffset(ReadBar(canvas, bar).nPos, info);
    return WriteBar(canvas, bar, info);
}

void OnSize(HWND canvas, int32_t clientWidth, int32_t clientHeight) {
    g_scrollX = SetUpAxis(canvas, SB_HORZ, clientWidth, g_shownWidth);
    g_scrollY = SetUpAxis(canvas, SB_VERT, clientHeight, g_shownHeight);
    Repaint(canvas);
}

// thumb is the message's 16-bit thumb position: the whole position unless the image is larger
// than that, and then the bar's own 32-bit tracking position stands in.
void OnScroll(HWND canvas, int bar, int code, int32_t thumb, int32_t& offset) {
    const SCROLLINFO info = ReadBar(canvas, bar);
    const int32_t page = static_cast<int32_t>(info.nPage);
    int32_t step = 0;
    switch (code) {
        case SB_LINEUP:
            step = -1;
            break;
        case SB_LINEDOWN:
            step = 1;
            break;
        case SB_PAGEUP:
            step = -page;
            break;
        case SB_PAGEDOWN:
            step = page;
            break;
        case SB_THUMBTRACK:
            step = (info.nMax <= 0xFFFF ? thumb : info.nTrackPos) - info.nPos;
            break;
        default:  // SB_THUMBPOSITION repeats where tracking already went; the rest do nothing
            break;
    }
    if (step == 0) {
        return;
    }
    SCROLLINFO position = {};
    position.fMask = SIF_POS;
    position.nPos = ClampOffset(info.nPos + step, info);
    offset = WriteBar(canvas, bar, position);
    Repaint(canvas);
}

// With the capture held, points left or above the canvas arrive negative, so the words are
// read signed.
POINT ClientPoint(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

// Only the pen's square changed. The paint costs what the update region covers, so the whole
// canvas for each move of a drag would cost the whole view, and moves would merge meanwhile.
void InvalidatePen(HWND canvas, POINT at) {
    const LONG n = g_adjust.penSize;
    RECT pen = {at.x - n / 2, at.y - n / 2, at.x - n / 2 + n, at.y - n / 2 + n};
    RECT client = {};
    GetClientRect(canvas, &client);
    if (IntersectRect(&pen, &pen, &client)) {
        InvalidateRect(canvas, &pen, FALSE);
    }
}

// How far the last readout's text reached in the bar: a shorter text must still clear the
// longer one's tail.
LONG g_readoutRight = 0;

// The width a readout takes in the bar: its text in the bar's own font, and the bar's height
// again for the borders and margins the bar draws around it.
LONG ReadoutRight(const char* text, int length, LONG barHeight) {
    HDC dc = GetDC(g_statusBar);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(g_statusBar, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(g_statusBar, dc);
    return extent.cx + barHeight;
}

// The bar repaints its whole part inside SB_SETTEXTA, at a cost that grows with its width, and
// it would do so for each move of a drag. With its redraw off it only keeps the text, and just
// the stretch the text covers waits to be painted with the next frame. Turning the redraw off
// may also drop what the bar still had to paint, so that is put back.
void ReadOut(int32_t x, int32_t y) {
    char text[64];
    const int length = wsprintfA(text, "(%d,%d)-R:%d,G:%d,B:%d", x, y, g_image.GetRed(x, y),
                                 g_image.GetGreen(x, y), g_image.GetBlue(x, y));
    HRGN pending = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(g_statusBar, pending, FALSE);
    SendMessageA(g_statusBar, WM_SETREDRAW, FALSE, 0);
    SendMessageA(g_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(g_statusBar, WM_SETREDRAW, TRUE, 0);
    InvalidateRgn(g_statusBar, pending, FALSE);
    DeleteObject(pending);
    RECT changed = {};
    GetClientRect(g_statusBar, &changed);
    const LONG right = ReadoutRight(text, length, changed.bottom);
    changed.right = std::min(changed.right, std::max(right, g_readoutRight));
    InvalidateRect(g_statusBar, &changed, FALSE);
    g_readoutRight = right;
}

// Only a drag begun on the canvas paints: the button may be down for someone else, such as the
// second press of a double-click that closed a dialog above the canvas. The message's own key
// state is what the button was at this move, so the last move before a release paints too.
// The capture brings moves from anywhere on the screen; only those the user sees land on the
// picture, so a drag that leaves the canvas pauses there and goes on when it comes back.
void OnMouseMove(HWND canvas, POINT at, WPARAM keys) {
    RECT client = {};
    GetClientRect(canvas, &client);
    if (!PtInRect(&client, at)) {
        return;  // the readout keeps its last text
    }
    const int32_t x = at.x + g_scrollX;
    const int32_t y = at.y + g_scrollY;
    if (!g_image.Contains(x, y)) {
        return;
    }
    if (g_canvasDragging && (keys & MK_LBUTTON) != 0) {
        StampPen(g_image, g_adjust, x, y);
        InvalidatePen(canvas, at);
        UpdateWindow(canvas);
        g_modified = true;
    }
    ReadOut(x, y);
}

// A press stamps wherever it lands: a big pen just off the image still reaches into it. Its
// repaint waits for the message loop, which paints as soon as the press is handled; only a
// drag's stream of moves would hold painting off, so only moves paint at once.
void OnLButtonDown(HWND canvas, POINT at) {
    const int32_t x = at.x + g_scrollX;
    const int32_t y = at.y + g_scrollY;
    SetCapture(canvas);
    g_canvasDragging = true;
    StampPen(g_image, g_adjust, x, y);
    InvalidatePen(canvas, at);
    ReadOut(x, y);
    g_modified = true;
}

void OnLButtonUp() {
    g_canvasDragging = false;
    ReleaseCapture();
}

void OnPaint(HWND canvas) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(canvas, &ps);
    PaintContent(dc);
    EndPaint(canvas, &ps);
}

}  // namespace

void PaintContent(HDC dc) {
    // An image with a header has at least one pixel.
    if (g_image.GetHeader() == nullptr) {
        return;
    }
    const int32_t width = g_image.GetWidth();
    const int32_t height = g_image.GetHeight();
    StretchDIBits(dc, -g_scrollX, -g_scrollY, width, height, 0, 0, width, height,
                  g_image.GetPixels(), reinterpret_cast<const BITMAPINFO*>(g_image.GetHeader()),
                  DIB_RGB_COLORS, SRCCOPY);
}

void RegisterCanvasClass() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CanvasViewProc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kCanvasClassName;
    RegisterClassExA(&wc);
}

void PlaceCanvasView(CanvasPlacement placement) {
    const int top = ScaleToDpi(kAdjustBarHeight, g_dpi);
    if (placement == CanvasPlacement::kRefitScrollBars) {
        MoveWindow(g_canvas, 0, top, g_canvasWidth - 1, g_canvasHeight, FALSE);
    }
    MoveWindow(g_canvas, 0, top, g_canvasWidth, g_canvasHeight, TRUE);
}

HWND CreateCanvasView(HWND mainFrame) {
    return CreateWindowExA(0, kCanvasClassName, nullptr,
                           WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, 1, 1, mainFrame,
                           nullptr, g_instance, nullptr);
}

LRESULT CALLBACK CanvasViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            OnSize(window, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_HSCROLL:
            OnScroll(window, SB_HORZ, LOWORD(wParam), HIWORD(wParam), g_scrollX);
            return 0;
        case WM_VSCROLL:
            OnScroll(window, SB_VERT, LOWORD(wParam), HIWORD(wParam), g_scrollY);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, ClientPoint(lParam), wParam);
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(window, ClientPoint(lParam));
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp();
            return 0;
        case WM_CAPTURECHANGED:
            g_canvasDragging = false;
            return 0;
        case WM_DESTROY:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
