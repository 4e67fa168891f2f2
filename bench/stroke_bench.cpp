// A stroke timed inside the real program under Wine, driven from outside by bench/stroke.sh.
// The windows are velmora.exe's own; this entry only stands in front of the canvas's and the
// status bar's procedures to time what each drag move costs, so the product carries no timing.
//   stroke_bench.exe PICTURE FOLDER
// opens PICTURE maximised with red +1 and pen 16 set through the up-downs, writes FOLDER\ready
// ("left top width height" of the canvas's client area on the screen), and runs the message
// loop until FOLDER\stop appears; then it saves the picture as FOLDER\after.bmp and writes the
// figures to FOLDER\report.txt.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/pixel_image.h"
#include "shell/adjust_bar.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"

namespace {

struct MoveCost {
    double start, total, repaint, readout;
};

std::string g_folder;
WNDPROC g_canvasProc = nullptr;
WNDPROC g_statusProc = nullptr;
LARGE_INTEGER g_frequency;
bool g_inMove = false;
double g_moveRepaint = 0;
double g_moveReadout = 0;
std::vector<MoveCost> g_moves;
// Paints that the message loop brings between moves: they hold the next move off too.
double g_laterCanvasPaint = 0;
double g_laterStatusPaint = 0;
int g_laterCanvasPaints = 0;
int g_laterStatusPaints = 0;
UINT_PTR g_stopTimer = 0;

double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(g_frequency.QuadPart);
}

LRESULT CALLBACK TimedCanvas(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const double start = Now();
    const bool dragMove = message == WM_MOUSEMOVE && (wParam & MK_LBUTTON) != 0;
    if (dragMove) {
        g_inMove = true;
        g_moveRepaint = 0;
        g_moveReadout = 0;
    }
    const LRESULT result = CallWindowProcA(g_canvasProc, window, message, wParam, lParam);
    const double spent = Now() - start;
    if (dragMove) {
        g_inMove = false;
        g_moves.push_back({start, spent, g_moveRepaint, g_moveReadout});
    } else if (message == WM_PAINT && g_inMove) {
        g_moveRepaint += spent;
    } else if (message == WM_PAINT) {
        g_laterCanvasPaint += spent;
        ++g_laterCanvasPaints;
    }
    return result;
}

// Whatever a move sends the bar is its readout; the bar's paint within a message is counted
// once, with that message.
int g_statusDepth = 0;
LRESULT CALLBACK TimedStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const double start = Now();
    ++g_statusDepth;
    const LRESULT result = CallWindowProcA(g_statusProc, window, message, wParam, lParam);
    const double spent = Now() - start;
    if (--g_statusDepth > 0) {
        return result;
    }
    if (g_inMove) {
        g_moveReadout += spent;
    } else if (message == WM_PAINT) {
        g_laterStatusPaint += spent;
        ++g_laterStatusPaints;
    }
    return result;
}

// As a click on the up-down would: the control moves, then tells MainFrame.
void SetAdjust(int index, int value) {
    SendMessageA(g_adjustBar.upDown[index], UDM_SETPOS32, 0, value);
    SendMessageA(g_mainWindow, WM_VSCROLL, SB_THUMBPOSITION,
                 reinterpret_cast<LPARAM>(g_adjustBar.upDown[index]));
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

void WriteReport() {
    std::vector<double> totals, repaints, readouts, rests;
    for (const MoveCost& m : g_moves) {
        totals.push_back(m.total);
        repaints.push_back(m.repaint);
        readouts.push_back(m.readout);
        rests.push_back(m.total - m.repaint - m.readout);
    }
    FILE* out = std::fopen((g_folder + "\\report.txt").c_str(), "w");
    if (out == nullptr) {
        return;
    }
    std::fprintf(out, "drag moves handled: %zu\n", g_moves.size());
    // About 250 x 4 ms while the program keeps up with xdotool's pacing; longer when moves wait
    // for it, or when a busy machine holds xdotool back.
    if (g_moves.size() > 1) {
        const double span = g_moves.back().start - g_moves.front().start;
        std::fprintf(out, "first to last move handled: %.0f ms, %.2f ms a move\n", span,
                     span / double(g_moves.size() - 1));
    }
    std::fprintf(out, "per move, ms (median / 90th percentile / worst):\n");
    const struct {
        const char* name;
        const std::vector<double>& values;
    } rows[] = {{"whole move", totals},
                {"stamp and the rest", rests},
                {"repaint", repaints},
                {"readout", readouts}};
    for (const auto& row : rows) {
        std::fprintf(out, "  %-19s %.3f / %.3f / %.3f\n", row.name, Percentile(row.values, 0.5),
                     Percentile(row.values, 0.9), Percentile(row.values, 1.0));
    }
    const auto mean = [](double sum, int count) { return count == 0 ? 0.0 : sum / count; };
    std::fprintf(out,
                 "paints between moves: canvas %d (mean %.3f ms), status bar %d (mean %.3f ms)\n",
                 g_laterCanvasPaints, mean(g_laterCanvasPaint, g_laterCanvasPaints),
                 g_laterStatusPaints, mean(g_laterStatusPaint, g_laterStatusPaints));
    std::fclose(out);
}

void CALLBACK PollForStop(HWND, UINT, UINT_PTR, DWORD) {
    if (GetFileAttributesA((g_folder + "\\stop").c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    KillTimer(nullptr, g_stopTimer);
    SaveBmp(g_image, (g_folder + "\\after.bmp").c_str());
    WriteReport();
    DestroyWindow(g_mainWindow);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 3) {
        return 2;
    }
    QueryPerformanceFrequency(&g_frequency);
    g_folder = __argv[2];
    HWND main = StartVelmora(instance, (std::string("velmora.exe \"") + __argv[1] + '"').c_str());
    if (main == nullptr || g_image.GetWidth() == 0) {
        return 1;
    }
    SetAdjust(kAdjustRed, 1);
    SetAdjust(kAdjustPenSize, 16);
    g_canvasProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_canvas, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedCanvas)));
    g_statusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedStatus)));
    SendMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    UpdateWindow(main);
    RECT client;
    GetClientRect(g_canvas, &client);
    POINT origin = {0, 0};
    ClientToScreen(g_canvas, &origin);
    FILE* ready = std::fopen((g_folder + "\\ready").c_str(), "w");
    if (ready == nullptr) {
        return 1;
    }
    std::fprintf(ready, "%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    std::fclose(ready);
    g_stopTimer = SetTimer(nullptr, 0, 100, PollForStop);
    // Only the mouse drives the stroke, so the program's keys need no place in this loop.
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
