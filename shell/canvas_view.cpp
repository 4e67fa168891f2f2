#include "shell/canvas_view.h"

#include <commctrl.h>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "shell/shell_state.h"

int32_t g_scrollX = 0;
int32_t g_scrollY = 0;

namespace {

constexpr char kCanvasClassName[] = "CBMPWin";

// Range and page of one scroll bar; both 0 while the image fits and the bar is hidden.
struct ScrollAxis {
    int32_t range;
    int32_t page;
};
ScrollAxis g_axisX = {0, 0};
ScrollAxis g_axisY = {0, 0};
SCROLLINFO g_scrollInfo = {};

void Repaint(HWND canvas) {
    InvalidateRgn(canvas, nullptr, FALSE);
    UpdateWindow(canvas);
}

// The bar spans 0 to the image size with a page of the client size; the offset stays within
// 0 to size - page, so it drops at once when the canvas grows or the image shrinks.
void SetUpAxis(HWND canvas, int bar, int32_t client, int32_t shown, ScrollAxis& axis,
               int32_t& offset) {
    if (client < shown) {
        axis.range = shown;
        axis.page = client;
    } else {
        axis.range = 0;
        axis.page = 0;
    }
    if (offset >= axis.range - axis.page) {
        offset = axis.range - axis.page;
    }
    g_scrollInfo.nMax = axis.range;
    g_scrollInfo.nPage = static_cast<UINT>(axis.page);
    g_scrollInfo.nPos = offset;
    SetScrollInfo(canvas, bar, &g_scrollInfo, TRUE);
}

void OnSize(HWND canvas, int32_t clientWidth, int32_t clientHeight) {
    g_scrollInfo.cbSize = sizeof(g_scrollInfo);
    g_scrollInfo.fMask = SIF_ALL;
    g_scrollInfo.nMin = 0;
    SetUpAxis(canvas, SB_HORZ, clientWidth, g_shownWidth, g_axisX, g_scrollX);
    SetUpAxis(canvas, SB_VERT, clientHeight, g_shownHeight, g_axisY, g_scrollY);
    Repaint(canvas);
}

// The thumb position of a live drag. The message carries only 16 bits of it, which is the
// whole position unless the image is larger than that; then the bar is asked for all of it.
int32_t TrackPosition(HWND canvas, int bar, const ScrollAxis& axis, WPARAM wParam) {
    if (axis.range <= 0xFFFF) {
        return HIWORD(wParam);
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(canvas, bar, &info);
    return info.nTrackPos;
}

void OnScroll(HWND canvas, int bar, WPARAM wParam, const ScrollAxis& axis, int32_t& offset) {
    int32_t step = 0;
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            step = -1;
            break;
        case SB_LINEDOWN:
            step = 1;
            break;
        case SB_PAGEUP:
            step = -axis.page;
            break;
        case SB_PAGEDOWN:
            step = axis.page;
            break;
        case SB_THUMBTRACK:
            step = TrackPosition(canvas, bar, axis, wParam) - offset;
            break;
        default:  // SB_THUMBPOSITION repeats where tracking already went; the rest do nothing
            break;
    }
    if (step == 0) {
        return;
    }
    int32_t moved = offset + step;
    if (moved <= 0) {
        moved = 0;
    }
    if (moved >= axis.range - axis.page) {
        moved = axis.range - axis.page;
    }
    offset = moved;
    SetScrollPos(canvas, bar, offset, TRUE);
    Repaint(canvas);
}

// Mouse points arrive as unsigned 16-bit client coordinates (the canvas never captures the
// mouse, so they are never negative); the offsets make them image points.
int32_t ImageX(LPARAM lParam) {
    return static_cast<int32_t>(LOWORD(lParam)) + g_scrollX;
}
int32_t ImageY(LPARAM lParam) {
    return static_cast<int32_t>(HIWORD(lParam)) + g_scrollY;
}

void ReadOut(int32_t x, int32_t y) {
    char text[64];
    wsprintfA(text, "(%d,%d)-R:%d,G:%d,B:%d", x, y, g_image.GetRed(x, y), g_image.GetGreen(x, y),
              g_image.GetBlue(x, y));
    SendMessageA(g_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

// The button state comes from the device at this moment, not from the message, so a drag
// that began outside the canvas paints as soon as it enters the image.
void OnMouseMove(HWND canvas, int32_t x, int32_t y) {
    if (!g_image.Contains(x, y)) {
        return;  // the readout keeps its last text
    }
    if (GetAsyncKeyState(VK_LBUTTON) < 0) {
        StampPen(g_image, g_adjust, x, y);
        Repaint(canvas);
        g_modified = true;
    }
    ReadOut(x, y);
}

// A press stamps wherever it lands: a big pen just off the image still reaches into it.
void OnLButtonDown(HWND canvas, int32_t x, int32_t y) {
    StampPen(g_image, g_adjust, x, y);
    InvalidateRgn(canvas, nullptr, FALSE);
    ReadOut(x, y);
    g_modified = true;
}

void OnPaint(HWND canvas) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(canvas, &ps);
    PaintContent(dc);
    EndPaint(canvas, &ps);
}

}  // namespace

void PaintContent(HDC dc) {
    const int32_t width = g_image.GetWidth();
    const int32_t height = g_image.GetHeight();
    if (g_image.GetHeader() == nullptr || width < 1 || height < 1) {
        return;
    }
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
            OnScroll(window, SB_HORZ, wParam, g_axisX, g_scrollX);
            return 0;
        case WM_VSCROLL:
            OnScroll(window, SB_VERT, wParam, g_axisY, g_scrollY);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, ImageX(lParam), ImageY(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(window, ImageX(lParam), ImageY(lParam));
            return 0;
        case WM_DESTROY:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
