// Painting timed under Wine, apart from the tests: one pen stamp with its repaint on an
// 8192 x 8192 image in a 1600 x 900 canvas. Built in the Windows build as paint_bench.exe; run it
// by hand under Wine on a display.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "shell/shell_state.h"
#include "bench/shell_fixture.h"

namespace {

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

}  // namespace
