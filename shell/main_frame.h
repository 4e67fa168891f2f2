// The entry's work and MainFrame, the one top-level window of class "CWindow": start-up, the
// menu bar, the message loop, and the window procedure that hands each message to its handler.
#pragma once

#include <windows.h>

// Start-up up to the message loop: registers "CWindow", loads the file the command line names,
// sets the shown size and the start adjustment, creates MainFrame (which builds its children)
// and attaches the menu bar. Returns MainFrame, or null when the class or the window cannot be
// made. Split from the loop so tests can drive the real windows with messages.
HWND StartVelmora(HINSTANCE instance, const char* commandLine);

// Runs the message loop until WM_QUIT and returns its exit code.
int RunMessageLoop();

// The entry's whole work: start-up, then the loop; 1 at once when start-up made no window.
int RunVelmora(HINSTANCE instance, const char* commandLine);

// The menu bar with its four popups, built in code.
HMENU BuildMenuBar();

LRESULT CALLBACK MainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
