// CanvasView, the child window of class "CBMPWin" that shows the image at 1:1, scrolls it,
// turns left-button presses and drags into pen stamps, and reads the pixel under the mouse out
// into the status bar.
#pragma once

#include <windows.h>

// Registers "CBMPWin"; the result is not examined (a second registration changes nothing).
void RegisterCanvasClass();
// Creates the canvas as a 1 x 1 child of MainFrame; the first layout gives it its place.
HWND CreateCanvasView(HWND mainFrame);

// Puts the canvas in its place under the adjustment bar at the canvas width and height.
// kRefitScrollBars first gives it another size for a moment, so that it recomputes its scroll
// bars (and clamps its offsets) even when its own size ends as it was.
enum class CanvasPlacement { kKeepScrollBars, kRefitScrollBars };
void PlaceCanvasView(CanvasPlacement placement);

LRESULT CALLBACK CanvasViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the image at the negated scroll offsets into any device context. An empty image draws
// nothing, leaving whatever background is there.
void PaintContent(HDC dc);
