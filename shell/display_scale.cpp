#include "shell/display_scale.h"

#include <shellscalingapi.h>

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT MonitorDpi(HWND window) {
    // Windows 8.1 scales each monitor but has no per-window call. The library is taken from the
    // system folder alone, so a file of its name beside the program is never loaded instead.
    using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
    static const HMODULE shcore =
        LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    static const auto getDpiForMonitor = reinterpret_cast<GetDpiForMonitorFunction>(
        shcore != nullptr ? reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor"))
                          : nullptr);
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (getDpiForMonitor == nullptr ||
        FAILED(getDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                                MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) {
        return 0;
    }
    return dpiY;
}

UINT WindowDpi(HWND window) {
    // Looked up at run time: the call exists only from Windows 10 version 1607 on, and a direct
    // import would stop the program from starting at all on anything older.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    if (dpi == 0) {
        dpi = MonitorDpi(window);
    }
    return dpi != 0 ? dpi : SystemDpi();
}

int ScaleToDpi(int length, UINT dpi) {
    return MulDiv(length, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

HFONT CreateFontForDpi(LOGFONTA font, UINT dpi) {
    const int systemDpi = static_cast<int>(SystemDpi());
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), systemDpi);
    font.lfWidth = MulDiv(font.lfWidth, static_cast<int>(dpi), systemDpi);
    return CreateFontIndirectA(&font);
}
