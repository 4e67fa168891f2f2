// For the painting bench, which drives the real windows: MainFrame started as the entry starts it
// (without the message loop), and message pumping.
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

// MainFrame fresh for every test, from the program-wide values a first start finds.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Off the windows: no stray move reaches the canvas.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
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
