#include "shell/shell_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
char g_currentFileName[kPathCapacity] = "";
bool g_modified = false;
int32_t g_shownWidth = 0;
int32_t g_shownHeight = 0;
AdjustSettings g_adjust = {};

HWND g_canvas = nullptr;
HWND g_statusBar = nullptr;
int32_t g_canvasWidth = 0;
int32_t g_canvasHeight = 0;
UINT g_dpi = 96;

int32_t g_scrollX = 0;
int32_t g_scrollY = 0;

OPENFILENAMEA g_fileDialog = {};
char g_dialogFile[kDialogPathCapacity] = "";
char g_dialogFileTitle[kDialogPathCapacity] = "";

namespace {
char g_titleBuffer[sizeof(kProductName) + 3 + kPathCapacity] = "";
}  // namespace

void UpdateTitle() {
    // wsprintfA writes at most 1024 bytes; a longer path is joined by hand rather than cut.
    if (lstrlenA(g_currentFileName) < 1000) {
        wsprintfA(g_titleBuffer, "%s - %s", kProductName, g_currentFileName);
    } else {
        lstrcpyA(g_titleBuffer, kProductName);
        lstrcatA(g_titleBuffer, " - ");
        lstrcatA(g_titleBuffer, g_currentFileName);
    }
    SetWindowTextA(g_mainWindow, g_titleBuffer);
}

void SetCurrentFileName(const char* path) {
    lstrcpynA(g_currentFileName, path, static_cast<int>(sizeof g_currentFileName));
    UpdateTitle();
}
