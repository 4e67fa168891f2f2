// The entry's work and MainFrame, the one top-level window of class "CWindow": start-up, the
// menu bar, the message loop, and the window procedure that hands each message to its handler.
#pragma once

#include <windows.h>

// The menu items' identifiers, which the keys send too.
enum MenuCommand : int {
    IDM_OPEN = 101,
    IDM_SAVE_AS = 102,
    IDM_OVERWRITE_SAVE = 103,
    IDM_EXIT = 104,
    IDM_COPY_BITMAP = 202,
    IDM_PASTE_BITMAP = 203,
    IDM_WHOLE_IMAGE = 204,
    IDM_IMAGE_SIZE = 301,
    IDM_VERSION_INFO = 801,
    IDM_AUTHOR_SITE = 802,
};

// Start-up up to the message loop: registers "CWindow", loads the file the command line names,
// sets the shown size and the start adjustment, creates MainFrame (which builds its children)
// and attaches the menu bar. Returns MainFrame, or null when the class or the window cannot be
// made. Split from the loop so tests can drive the real windows with messages.
HWND StartVelmora(HINSTANCE instance, const char* commandLine);

// The entry's whole work: start-up, then the message loop until WM_QUIT, whose code it returns;
// 1 at once when start-up made no window.
int RunVelmora(HINSTANCE instance, const char* commandLine);

LRESULT CALLBACK MainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
