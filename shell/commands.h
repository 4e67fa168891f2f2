// What MainFrame does with menu commands, popup menus opening and dropped files.
#pragma once

#include <windows.h>
#include <shellapi.h>

// WM_COMMAND: every identifier, known or not, is handled here.
void OnCommand(HWND mainFrame, int commandId);
// WM_INITMENUPOPUP: greys or enables overwrite save and paste. The caller then passes the
// message on to DefWindowProcA.
void OnInitMenuPopup(HMENU popup, LPARAM lParam);
// WM_DROPFILES: opens the first dropped file. The caller passes the message on afterwards.
void OnDropFiles(HDROP drop);
// Refreshes the shown image size and makes the canvas recompute its scroll bars.
void RefitCanvas();

// What opens a web address: the shell's browser, unless tests put a recorder in its place so
// that no browser starts.
using OpenUrlFunction = void (*)(const char* url);
void SetUrlOpener(OpenUrlFunction opener);
