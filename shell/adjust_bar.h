// The row of labels, read-only boxes and up-down controls along the top of MainFrame that set
// the red, green and blue offsets and the pen size.
#pragma once

#include <windows.h>

// Creates the twelve controls in MainFrame (the handle its procedure received: during
// WM_CREATE the stored main window handle is still null).
void CreateAdjustBar(HWND mainFrame);

// Places and sizes the bar's controls and sets their font for the window's display scale.
void LayOutAdjustBar();

// Frees the font made for a scale other than the system's, once no control will draw with it.
void FreeAdjustBarFont();

// WM_VSCROLL from an up-down: re-reads the matching box into AdjustSettings. A sender that is
// none of the four changes nothing.
void OnAdjustScroll(HWND sender);
