#include "shell/commands.h"

#include "shell/shell_state.h"

static void OpenUrlWithShell(const char* url) {
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

OpenUrlFunction g_openUrl = OpenUrlWithShell;

void OnCommand(HWND mainFrame, int commandId) {
    (void)mainFrame;
    (void)commandId;
}

void OnInitMenuPopup(HMENU popup, LPARAM lParam) {
    (void)popup;
    (void)lParam;
}

void OnDropFiles(HDROP drop) {
    (void)drop;
}

void RefitCanvas() {}
