// For the painting bench, which drives the real windows: MainFrame started as the entry starts it
// (without the message loop), message pumping, and the texts the windows show.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/pixel_image.h"
#include "shell/adjust_bar.h"
#include "shell/canvas_view.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"
#include "tests/support/models.h"

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) {  // left behind by the last test's main window
            DispatchMessageA(&msg);
        }
    }
}

inline std::string WindowText(HWND window) {
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

inline std::string StatusBarText() {
    char text[256] = "";
    SendMessageA(g_statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

// The left button through the system's input queue, where the canvas reads it from; waits
// until the system reports the new state.
inline void LeftButton(bool down) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
    for (int i = 0; i < 300 && (GetAsyncKeyState(VK_LBUTTON) < 0) != down; ++i) {
        Sleep(10);
        PumpMessages();
    }
}

// MainFrame fresh for every test, from the program-wide values a first start finds.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The button is pressed, when it is, off the windows: no stray move reaches the canvas.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        LeftButton(false);
        ASSERT_TRUE(g_image.Create(128, 128));
        g_scrollX = g_scrollY = 0;
        g_modified = false;
        g_dialogFile[0] = '\0';
    }
    void TearDown() override {
        DestroyWindow(g_mainWindow);
        PumpMessages();
    }
    HWND Start(const std::string& commandLine = "velmora.exe") {
        HWND main = StartVelmora(GetModuleHandleA(nullptr), commandLine.c_str());
        PumpMessages();
        return main;
    }
};
