// Painting measured under Wine, apart from the tests: any part of the canvas drawn alone shows
// exactly what a full draw shows there, each scroll step repaints only when it moves, and one
// pen stamp with its repaint on an 8192 x 8192 image in a 1600 x 900 canvas is timed. Built in
// the Windows build as paint_bench.exe; run it by hand under Wine on a display.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "shell/canvas_view.h"
#include "shell/shell_state.h"
#include "bench/shell_fixture.h"

namespace {

constexpr uint32_t kGray = 0x808080;

// A top-down 32-bit memory bitmap to paint into, read back byte for byte.
class MemoryCanvas {
  public:
    MemoryCanvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<uint32_t*>(bits);
        old = SelectObject(dc, dib);
    }
    ~MemoryCanvas() {
        SelectObject(dc, old);
        DeleteObject(dib);
        DeleteDC(dc);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    void Clear() { std::fill(pixels, pixels + size_t(width) * height, kGray); }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x] & 0xFFFFFF; }

    const int width, height;
    HDC dc;
    uint32_t* pixels;

  private:
    HBITMAP dib;
    HGDIOBJ old;
};

uint32_t ImageColour(int32_t x, int32_t y) {
    return uint32_t{g_image.GetRed(x, y)} << 16 | uint32_t{g_image.GetGreen(x, y)} << 8 |
           g_image.GetBlue(x, y);
}

void FillNoise(PixelImage& image) {
    uint32_t s = 2463534242u;
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        uint8_t* row = image.RowPixels(y);
        for (int32_t i = 0; i < image.GetWidth() * 4; i += 4) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            row[i] = static_cast<uint8_t>(s);
            row[i + 1] = static_cast<uint8_t>(s >> 8);
            row[i + 2] = static_cast<uint8_t>(s >> 16);
        }
    }
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// User and kernel time of the whole process: under Wine the drawing may run on more than the
// calling thread.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return double((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

struct Spread {
    double median, p90, worst;
};

Spread Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return Spread{times[times.size() / 2], times[times.size() * 9 / 10], times.back()};
}

class PaintPerfTest : public ShellTest {
  protected:
    void TearDown() override {
        g_scrollX = 0;
        g_scrollY = 0;
        ShellTest::TearDown();
    }
};

// Every clip a repaint can bring (the whole canvas, strips along each edge, a pen-sized square,
// a rectangle reaching past the image into the gray) at scroll offsets from 0 to the far end:
// inside the clip each pixel is the image's, outside it the background stays.
TEST_F(PaintPerfTest, AnyClippedPartShowsWhatTheWholeDrawShows) {
    const int32_t w = 701, h = 433;
    ASSERT_TRUE(g_image.Create(w, h));
    FillNoise(g_image);
    MemoryCanvas canvas(320, 200);
    struct Clip {
        int left, top, right, bottom;
    };
    const Clip clips[] = {{0, 0, 320, 200},  {0, 0, 320, 1},      {0, 199, 320, 200},
                          {0, 0, 1, 200},    {319, 0, 320, 200},  {150, 90, 166, 106},
                          {37, 11, 301, 29}, {-50, -50, 400, 300}};
    const POINT scrolls[] = {{0, 0}, {1, 0}, {0, 1}, {250, 117}, {381, 233}, {600, 400}};
    for (const POINT& scroll : scrolls) {
        for (const Clip& c : clips) {
            g_scrollX = scroll.x;
            g_scrollY = scroll.y;
            canvas.Clear();
            SelectClipRgn(canvas.dc, nullptr);
            IntersectClipRect(canvas.dc, c.left, c.top, c.right, c.bottom);
            PaintContent(canvas.dc);
            GdiFlush();
            int wrong = 0;
            for (int y = 0; y < canvas.height && wrong == 0; ++y) {
                for (int x = 0; x < canvas.width; ++x) {
                    const bool clipped = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                    const int32_t ix = x + scroll.x, iy = y + scroll.y;
                    const uint32_t want =
                        clipped && g_image.Contains(ix, iy) ? ImageColour(ix, iy) : kGray;
                    if (canvas.At(x, y) != want) {
                        ADD_FAILURE()
                            << "scroll " << scroll.x << "," << scroll.y << " clip " << c.left << ","
                            << c.top << "-" << c.right << "," << c.bottom << ": pixel " << x << ","
                            << y << " is " << std::hex << canvas.At(x, y) << ", want " << want;
                        ++wrong;
                        break;
                    }
                }
            }
        }
    }
    SelectClipRgn(canvas.dc, nullptr);
}

// The drag way on the largest everyday image: each move with the button down stamps pen 16
// and repaints the canvas at once. Prints the median, 90th percentile and worst of 60 moves,
// against a frame of 16 ms; asserts only what the screen then shows, and a loose bound.
TEST_F(PaintPerfTest, StampWithRepaintOnAnImage8192Square) {
    HWND main = Start();
    ASSERT_TRUE(g_image.Create(8192, 8192));
    FillNoise(g_image);
    g_shownWidth = 8192;
    g_shownHeight = 8192;
    g_adjust = {37, -23, 200, 16};
    // The canvas follows MainFrame's client area, so MainFrame is sized until the canvas's own
    // client area (inside its two scroll bars) is 1600 x 900, and placed so that this area
    // starts at the screen's left edge. The screen is only 1600 wide: the size is set past the
    // usual limit to the screen's size, and the vertical bar lies beyond the edge.
    for (int attempt = 0; attempt < 3; ++attempt) {
        PumpMessages();
        RECT frame, client;
        GetWindowRect(main, &frame);
        GetClientRect(g_canvas, &client);
        POINT origin = {0, 0};
        ClientToScreen(g_canvas, &origin);
        SetWindowPos(
            main, nullptr, frame.left - origin.x, 0, frame.right - frame.left + 1600 - client.right,
            frame.bottom - frame.top + 900 - client.bottom, SWP_NOZORDER | SWP_NOSENDCHANGING);
    }
    PumpMessages();
    RECT client;
    GetClientRect(g_canvas, &client);
    ASSERT_EQ(1600, client.right);
    ASSERT_EQ(900, client.bottom);
    POINT origin = {0, 0};
    ClientToScreen(g_canvas, &origin);
    EXPECT_EQ(0, origin.x);
    SetForegroundWindow(main);
    RECT mainClient;
    GetClientRect(main, &mainClient);
    POINT emptyBarSpot = {mainClient.right - 20, 16};  // right of the adjustment controls
    ClientToScreen(main, &emptyBarSpot);
    SetCursorPos(emptyBarSpot.x, emptyBarSpot.y);

    const POINT scrolls[] = {{0, 0}, {3300, 4100}, {8192 - 1600, 8192 - 900}};
    std::vector<double> times;
    double cpuMs = 0;
    for (const POINT& scroll : scrolls) {
        SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, scroll.x), 0);
        SendMessageA(g_canvas, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, scroll.y), 0);
        ASSERT_EQ(scroll.x, g_scrollX);
        ASSERT_EQ(scroll.y, g_scrollY);
        PumpMessages();
        // A press away from the measured points starts the drag.
        SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1550, 880));
        for (int i = 0; i < 20; ++i) {
            const int cx = 100 + 67 * i, cy = 80 + 37 * i;
            const uint32_t before = ImageColour(cx + g_scrollX, cy + g_scrollY);
            LARGE_INTEGER start, end;
            const double cpuBefore = ProcessCpuMs();
            QueryPerformanceCounter(&start);
            SendMessageA(g_canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(cx, cy));
            QueryPerformanceCounter(&end);
            cpuMs += ProcessCpuMs() - cpuBefore;
            times.push_back(Milliseconds(start, end));
            const uint32_t after = ImageColour(cx + g_scrollX, cy + g_scrollY);
            ASSERT_NE(before, after) << "no stamp at " << cx << "," << cy;
            // What the canvas now shows under the pen is the stamped colour.
            HDC dc = GetDC(g_canvas);
            const COLORREF shown = GetPixel(dc, cx, cy);
            ReleaseDC(g_canvas, dc);
            const uint32_t shownRgb = uint32_t{GetRValue(shown)} << 16 |
                                      uint32_t{GetGValue(shown)} << 8 | GetBValue(shown);
            EXPECT_EQ(after, shownRgb) << "canvas point " << cx << "," << cy << " at scroll "
                                       << scroll.x << "," << scroll.y;
        }
        SendMessageA(g_canvas, WM_LBUTTONUP, 0, 0);
    }
    const Spread s = Summarise(times);
    std::printf(
        "stamp + repaint, 8192x8192 image, 1600x900 canvas, %zu moves: median %.2f ms, "
        "90th percentile %.2f ms, worst %.2f ms; processor time %.2f ms a move (frame: 16 ms)\n",
        times.size(), s.median, s.p90, s.worst, cpuMs / double(times.size()));
    RecordProperty("stamp_repaint_median_ms", std::to_string(s.median));
    // Medians of 4 to 13 ms were seen on a loaded two-core machine. The bound sits far above
    // that and only catches a paint that converts the whole 256 MiB image every time.
    EXPECT_LT(s.median, 100.0);
}

// Counts the canvas's paints by standing in front of its procedure.
int g_paints = 0;
WNDPROC g_canvasProc = nullptr;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_paints += message == WM_PAINT;
    return CallWindowProcA(g_canvasProc, window, message, wParam, lParam);
}

// A scroll step repaints once when the offset moves (or a line or page step meets an end), and
// not at all when it stays.
TEST_F(PaintPerfTest, ScrollStepsRepaintOnlyWhenTheyMove) {
    Start();
    ASSERT_TRUE(g_image.Create(1000, 100));
    g_shownWidth = 1000;
    g_shownHeight = 100;
    MoveWindow(g_canvas, 0, 32, 400, 300, TRUE);
    g_canvasProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    ValidateRect(g_canvas, nullptr);
    const struct {
        int32_t from;
        WORD code, thumb;
        int paints;
    } cases[] = {{10, SB_LINERIGHT, 0, 1},       {0, SB_LINELEFT, 0, 1},
                 {0, SB_THUMBTRACK, 250, 1},     {250, SB_THUMBTRACK, 250, 0},
                 {300, SB_THUMBPOSITION, 10, 0}, {300, SB_ENDSCROLL, 0, 0}};
    for (const auto& c : cases) {
        SetScrollPos(g_canvas, SB_HORZ, c.from, FALSE);
        g_scrollX = c.from;
        g_paints = 0;
        SendMessageA(g_canvas, WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), 0);
        EXPECT_EQ(c.paints, g_paints) << c.code << " from " << c.from;
    }
}

}  // namespace
