// The display scale. Every size around the picture is written once in units of a 100 % display
// (96 dots per inch) and turned into pixels for the window's scale here; the picture itself is
// never scaled, so one image pixel stays one screen pixel.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;

// The window's dots per inch. Windows before the per-window call have one scale for the whole
// system, which then stands in.
UINT WindowDpi(HWND window);
// The scale of the primary display, which new windows open on.
UINT SystemDpi();

// A length written for 96 dots per inch, in pixels at dpi; exact at 96, rounded elsewhere.
int ScaleToDpi(int length, UINT dpi);
