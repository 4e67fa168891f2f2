// The shell's program-wide values. There is one thread, one main window and one image, so these
// live for the whole run as plain globals; each comment says who writes the value.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

#include "image/pixel_addition.h"

// Big enough for any path the system's ANSI file calls accept, long-path prefixes included, so a
// command-line path is never cut short or copied past the end.
constexpr size_t kPathCapacity = 32768;
constexpr char kProductName[] = "Velmora";
// Bytes of the file dialog's buffers and of the drop buffer, terminator included; the drop
// buffer matches so a dropped path can always be handed on to the next dialog.
constexpr int kDialogPathCapacity = 256;
// The adjustment bar's strip along the top of MainFrame, at 96 dots per inch; the canvas starts
// below it.
constexpr int kAdjustBarHeight = 32;

extern HINSTANCE g_instance;                   // start-up
extern HWND g_mainWindow;                      // start-up, once CreateWindowExA returns
extern char g_currentFileName[kPathCapacity];  // SetCurrentFileName only
extern bool g_modified;                        // set by pen stamps; cleared by open, drop, save
extern int32_t g_shownWidth;                   // start-up and RefitCanvas
extern int32_t g_shownHeight;                  // start-up and RefitCanvas
extern AdjustSettings g_adjust;                // start-up, then the up-down controls only

extern HWND g_canvas;           // MainFrame's creation handler
extern HWND g_statusBar;        // MainFrame's creation handler
extern int32_t g_canvasWidth;   // MainFrame's layout handler
extern int32_t g_canvasHeight;  // MainFrame's layout handler
extern UINT g_dpi;              // MainFrame's creation handler, then its display-scale handler

// The offsets the canvas draws at, in image pixels: always the position its scroll bar kept,
// written by the canvas's size and scroll handlers only.
extern int32_t g_scrollX;
extern int32_t g_scrollY;

// The one file dialog record shared by open, save-as and overwrite save, so path and filter
// carry over; filled by MainFrame's creation handler, then by the dialogs and drops.
extern OPENFILENAMEA g_fileDialog;
extern char g_dialogFile[kDialogPathCapacity];       // the dialogs, and a drop's path
extern char g_dialogFileTitle[kDialogPathCapacity];  // the dialogs; only tests read it

// Sets the title "Velmora - <current file name>".
void UpdateTitle();
// Names the current file (empty after a paste) and retitles the window to match.
void SetCurrentFileName(const char* path);
