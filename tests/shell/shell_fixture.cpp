#include "tests/shell/shell_fixture.h"

#include <commctrl.h>

#include <vector>

#include "image/pixel_image.h"
#include "shell/canvas_view.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"

void ShellTest::SetUp() {
    // Keep the real cursor off the new windows so no stray move reaches the canvas.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ASSERT_TRUE(g_image.Create(128, 128));
    g_scrollX = 0;
    g_scrollY = 0;
    g_modified = false;
    g_canvasDragging = false;
    g_dialogFile[0] = '\0';
}

void ShellTest::TearDown() {
    if (g_mainWindow != nullptr && IsWindow(g_mainWindow)) {
        DestroyWindow(g_mainWindow);
    }
    g_mainWindow = nullptr;
    // WM_DESTROY posted the quit message; drain it so the next test's pumps and dialogs run.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    g_image.Create(128, 128);
}

HWND ShellTest::Start(const std::string& commandLine) {
    HWND main = StartVelmora(GetModuleHandleA(nullptr), commandLine.c_str());
    PumpMessages();
    return main;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done()) {
            return true;
        }
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) {
            return false;
        }
        Sleep(5);
    }
}

std::string WindowText(HWND window) {
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::string StatusBarText() {
    const LRESULT length = SendMessageA(g_statusBar, SB_GETTEXTLENGTHA, 0, 0);
    std::vector<char> text(static_cast<size_t>(LOWORD(length)) + 1);
    SendMessageA(g_statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

namespace {

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = dx;
    input.mi.dy = dy;
    SendInput(1, &input, sizeof(input));
    PumpMessages();
}

}  // namespace

SyntheticButton::SyntheticButton() : down(true) {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    PumpUntil([] { return GetAsyncKeyState(VK_LBUTTON) < 0; }, 2000);
}

SyntheticButton::~SyntheticButton() {
    Release();
}

void SyntheticButton::Release() {
    if (down) {
        down = false;
        SendMouse(MOUSEEVENTF_LEFTUP);
        PumpUntil([] { return GetAsyncKeyState(VK_LBUTTON) >= 0; }, 2000);
    }
}

POINT MoveCursorTo(POINT screen) {
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    // Absolute input is in 0..65535 across the screen; aim at the pixel's centre.
    const LONG dx = static_cast<LONG>((screen.x * 65536LL + 32768) / width);
    const LONG dy = static_cast<LONG>((screen.y * 65536LL + 32768) / height);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
    POINT at = {};
    PumpUntil(
        [&] {
            GetCursorPos(&at);
            return at.x == screen.x && at.y == screen.y;
        },
        1000);
    return at;
}
