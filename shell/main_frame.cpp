#include "shell/main_frame.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "image/bmp_file.h"
#include "image/pixel_image.h"
#include "shell/adjust_bar.h"
#include "shell/canvas_view.h"
#include "shell/command_line.h"
#include "shell/commands.h"
#include "shell/shell_state.h"

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
char g_currentFileName[kPathCapacity] = "";
bool g_modified = false;
int32_t g_shownWidth = 0;
int32_t g_shownHeight = 0;
AdjustSettings g_adjust = {0, 0, 0, 1};
HWND g_canvas = nullptr;
HWND g_statusBar = nullptr;
int32_t g_canvasWidth = 0;
int32_t g_canvasHeight = 0;
OPENFILENAMEA g_fileDialog = {};
char g_dialogFile[256] = "";
char g_dialogFileTitle[256] = "";

namespace {

constexpr char kMainClassName[] = "CWindow";
constexpr int kAdjustBarHeight = 32;

// The product name, " - " and the longest current file name.
char g_titleBuffer[sizeof(kProductName) + 3 + kPathCapacity];

// Two filter pairs and the closing zero (the literal adds the last one).
constexpr char kFileFilter[] = "ビットマップ(*.bmp)\0*.bmp\0すべてのファイル(*.*)\0*.*\0";

void RegisterMainFrameClass() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainFrameProc;
    wc.hInstance = g_instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = kMainClassName;
    wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    RegisterClassExA(&wc);
}

// Loads the file the command line names. Only a successful load names the current file; a tail
// longer than the current file name can hold is refused whole.
void LoadCommandLineFile(const char* commandLine) {
    g_currentFileName[0] = '\0';
    static char path[kPathCapacity];
    if (!CommandLinePath(commandLine, path, sizeof(path))) {
        return;
    }
    if (LoadBmp(g_image, path)) {
        lstrcpyA(g_currentFileName, path);
    }
}

void PrepareFileDialog(HWND mainFrame) {
    g_fileDialog = {};
    g_fileDialog.lStructSize = sizeof(g_fileDialog);
    g_fileDialog.hwndOwner = mainFrame;
    g_fileDialog.hInstance = g_instance;
    g_fileDialog.lpstrFilter = kFileFilter;
    g_fileDialog.nFilterIndex = 1;
    g_fileDialog.lpstrFile = g_dialogFile;
    g_fileDialog.nMaxFile = 255;
    g_fileDialog.lpstrFileTitle = g_dialogFileTitle;
    g_fileDialog.nMaxFileTitle = 255;
}

void OnCreate(HWND window) {
    PrepareFileDialog(window);
    DragAcceptFiles(window, TRUE);
    CreateAdjustBar(window);
    RegisterCanvasClass();
    g_canvas = CreateCanvasView(window);
    g_statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, nullptr, window, 0);
}

// The status bar keeps to the bottom edge at its own height; the canvas takes what lies
// between it and the adjustment bar, which may be nothing at all in a very low window.
void OnSize(int32_t clientWidth, int32_t clientHeight) {
    // The status bar measures MainFrame itself; the size type must be SIZE_RESTORED, as some
    // common-controls builds ignore any other value and would leave the bar where it was.
    SendMessageA(g_statusBar, WM_SIZE, SIZE_RESTORED, 0);
    RECT bar = {};
    GetWindowRect(g_statusBar, &bar);
    const int32_t statusHeight = bar.bottom - bar.top;
    g_canvasWidth = clientWidth;
    g_canvasHeight = clientHeight - statusHeight - kAdjustBarHeight;
    SetWindowPos(g_canvas, nullptr, 0, kAdjustBarHeight, g_canvasWidth, g_canvasHeight,
                 SWP_NOZORDER);
}

struct MenuItem {
    UINT id;  // 0: separator
    const char* label;
};

HMENU BuildPopup(const MenuItem* items, size_t count) {
    HMENU popup = CreateMenu();
    for (size_t i = 0; i < count; ++i) {
        if (items[i].id == 0) {
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(popup, 0, items[i].id, items[i].label);
        }
    }
    return popup;
}

}  // namespace

void UpdateTitle() {
    // wsprintfA writes at most 1024 bytes; a longer path is joined by hand rather than cut.
    if (lstrlenA(g_currentFileName) < 1000) {
        wsprintfA(g_titleBuffer, "%s - %s", kProductName, g_currentFileName);
    } else {
        lstrcpyA(g_titleBuffer, kProductName);
        lstrcatA(g_titleBuffer, " - ");
        lstrcatA(g_titleBuffer, g_currentFileName);
    }
    SetWindowTextA(g_mainWindow, g_titleBuffer);
}

HMENU BuildMenuBar() {
    static const MenuItem kFile[] = {
        {IDM_OPEN, "開く（&O）"},
        {IDM_SAVE_AS, "保存（&A）"},
        {IDM_OVERWRITE_SAVE, "上書き保存（&S）"},
        {0, nullptr},
        {IDM_EXIT, "終了（&X）"},
    };
    static const MenuItem kEdit[] = {
        {IDM_COPY_BITMAP, "ビットマップをコピー(&C)"},
        {IDM_PASTE_BITMAP, "ビットマップを貼り付け(&P)"},
        {IDM_WHOLE_IMAGE, "全体処理(&A)"},
    };
    static const MenuItem kImageInfo[] = {
        {IDM_IMAGE_SIZE, "画像サイズ(&S)"},
    };
    static const MenuItem kHelp[] = {
        {IDM_VERSION_INFO, "バージョン情報（&A）"},
        {IDM_AUTHOR_SITE, "作者サイト「Hollowmere」へ（&G）"},
    };
    // All five menus exist before any item goes in, as the bar is assembled last.
    HMENU bar = CreateMenu();
    HMENU file = BuildPopup(kFile, sizeof(kFile) / sizeof(kFile[0]));
    HMENU edit = BuildPopup(kEdit, sizeof(kEdit) / sizeof(kEdit[0]));
    HMENU imageInfo = BuildPopup(kImageInfo, sizeof(kImageInfo) / sizeof(kImageInfo[0]));
    HMENU help = BuildPopup(kHelp, sizeof(kHelp) / sizeof(kHelp[0]));
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ファイル（&F）");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "編集（&E）");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(imageInfo), "画像情報（&I）");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "ヘルプ（&H）");
    return bar;
}

HWND StartVelmora(HINSTANCE instance, const char* commandLine) {
    g_instance = instance;
    InitCommonControls();
    RegisterMainFrameClass();
    LoadCommandLineFile(commandLine);
    g_shownWidth = g_image.GetWidth();
    g_shownHeight = g_image.GetHeight();
    g_adjust = {0, 0, 0, 1};
    // WM_CREATE and the first WM_SIZE run inside this call, before the handle is stored.
    g_mainWindow = CreateWindowExA(0, kMainClassName, kProductName,
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                   600, 450, nullptr, nullptr, instance, nullptr);
    if (g_currentFileName[0] != '\0') {
        UpdateTitle();
    }
    SetMenu(g_mainWindow, BuildMenuBar());
    return g_mainWindow;
}

int RunMessageLoop() {
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK MainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            OnAdjustScroll(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), lParam);
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return DefWindowProcA(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
