// The display scale. Every size around the picture is written once in units of a 100 % display
// (96 dots per inch) and turned into pixels for the window's scale here; the picture itself is
// never scaled, so one image pixel stays one screen pixel.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;

// The scale of the display the window is on. Each way of asking exists only from some Windows
// version on, so the newest one present answers; before per-monitor scaling, the system's scale
// stands in.
UINT WindowDpi(HWND window);
// The scale the monitor under the window reports, or 0 when the system has no such call.
UINT MonitorDpi(HWND window);
// The one scale of the whole system, which its fonts and metrics are made for.
UINT SystemDpi();

// A length written for 96 dots per inch, in pixels at dpi; exact at 96, rounded elsewhere.
int ScaleToDpi(int length, UINT dpi);

// A font the system describes at its own scale, made anew for dpi.
HFONT CreateFontForDpi(LOGFONTA font, UINT dpi);
