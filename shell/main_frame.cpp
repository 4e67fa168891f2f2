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
#include "shell/display_scale.h"
#include "shell/shell_state.h"

namespace {

constexpr char kMainClassName[] = "CWindow";

// The path the command line names, kept until the window exists to take it as the file name.
char g_commandLinePath[kPathCapacity] = "";

// The first window size, at 96 dots per inch.
constexpr int kFrameWidth = 600;
constexpr int kFrameHeight = 450;

// The status bar's font, made for the window's scale; the bar measures its height from it.
HFONT g_statusFont = nullptr;

// Two filter pairs and the closing zero (the literal adds the last one).
constexpr char kFileFilter[] = "ビットマップ(*.bmp)\0*.bmp\0すべてのファイル(*.*)\0*.*\0";

bool RegisterMainFrameClass() {
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
    if (RegisterClassExA(&wc) != 0) {
        return true;
    }
    // A second start in one process finds the class still registered; only a class that is
    // ours may stand in, or the window would run someone else's procedure.
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    return GetClassInfoExA(g_instance, kMainClassName, &existing) &&
           existing.lpfnWndProc == MainFrameProc;
}

// A tail too long for g_commandLinePath, its quotes counted, is refused whole, never cut short.
bool LoadCommandLineFile(const char* commandLine) {
    return CommandLinePath(commandLine, g_commandLinePath, sizeof(g_commandLinePath)) &&
           LoadBmp(g_image, g_commandLinePath);
}

void PrepareFileDialog(HWND mainFrame) {
    g_fileDialog = {};
    g_fileDialog.lStructSize = sizeof(g_fileDialog);
    g_fileDialog.hwndOwner = mainFrame;
    g_fileDialog.hInstance = g_instance;
    g_fileDialog.lpstrFilter = kFileFilter;
    g_fileDialog.nFilterIndex = 1;
    g_fileDialog.lpstrFile = g_dialogFile;
    // One byte to spare: the buffer's last byte stays a terminator whatever a dialog writes.
    g_fileDialog.nMaxFile = kDialogPathCapacity - 1;
    g_fileDialog.lpstrFileTitle = g_dialogFileTitle;
    g_fileDialog.nMaxFileTitle = kDialogPathCapacity - 1;
}

void FreeStatusBarFont() {
    if (g_statusFont != nullptr) {
        DeleteObject(g_statusFont);
        g_statusFont = nullptr;
    }
}

// The status bar's own font is made for the system's scale; it takes the same face at the
// window's, then measures its height anew at the next layout.
void SetStatusBarFont() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return;  // the bar keeps the font it has
    }
    HFONT font = CreateFontForDpi(metrics.lfStatusFont, g_dpi);
    SendMessageA(g_statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    FreeStatusBarFont();
    g_statusFont = font;
}

void OnCreate(HWND window) {
    g_dpi = WindowDpi(window);
    PrepareFileDialog(window);
    DragAcceptFiles(window, TRUE);
    CreateAdjustBar(window);
    RegisterCanvasClass();
    g_canvas = CreateCanvasView(window);
    g_statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, nullptr, window, 0);
    SetStatusBarFont();
    // Only now is the display the window opens on known, and it need not be the primary one. The
    // window is not shown yet, so it never appears at the size written for 96 dots per inch.
    SetWindowPos(window, nullptr, 0, 0, ScaleToDpi(kFrameWidth, g_dpi),
                 ScaleToDpi(kFrameHeight, g_dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The fonts made for the window's scale go with it.
void OnDestroy() {
    FreeAdjustBarFont();
    FreeStatusBarFont();
    PostQuitMessage(0);
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
    g_canvasHeight = clientHeight - statusHeight - ScaleToDpi(kAdjustBarHeight, g_dpi);
    PlaceCanvasView(false);
}

// The window moved to a display of another scale, or the user changed the scale: the system
// suggests a rectangle that keeps the window's look. Everything around the picture is laid out
// again for the new scale; the picture keeps one image pixel to a screen pixel.
void OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
    g_dpi = dpi;
    LayOutAdjustBar();
    SetStatusBarFont();
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The suggested size may be the one the window had, which brings no WM_SIZE; the bar's new
    // height still changes the canvas, and its offsets are clamped as after any resize.
    RECT client = {};
    GetClientRect(window, &client);
    OnSize(client.right, client.bottom);
    PlaceCanvasView(true);
}

// Copy and paste in a box that has the keyboard focus are the box's own, as in any box; the
// picture's keys would take its digits' copy away from the user.
bool BoxKeepsKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.hwnd == nullptr ||
        (msg.wParam != 'C' && msg.wParam != 'V')) {
        return false;
    }
    for (HWND box : g_adjustBar.edit) {
        if (msg.hwnd == box) {
            return true;
        }
    }
    return false;
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
    g_mainWindow = nullptr;
    SetCurrentFileName("");
    InitCommonControls();
    if (!RegisterMainFrameClass()) {
        return nullptr;
    }
    const bool loaded = LoadCommandLineFile(commandLine);
    g_shownWidth = g_image.GetWidth();
    g_shownHeight = g_image.GetHeight();
    g_adjust = {};
    // WM_CREATE and the first WM_SIZE run inside this call, before the handle is stored.
    // WM_CREATE scales the size for the display the window opens on.
    g_mainWindow = CreateWindowExA(0, kMainClassName, kProductName,
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                   kFrameWidth, kFrameHeight, nullptr, nullptr, instance, nullptr);
    if (g_mainWindow == nullptr) {
        return nullptr;
    }
    if (loaded) {
        SetCurrentFileName(g_commandLinePath);
    }
    SetMenu(g_mainWindow, BuildMenuBar());
    return g_mainWindow;
}

int RunVelmora(HINSTANCE instance, const char* commandLine) {
    // With no window nothing could ever post the quit message, so the loop would wait forever.
    if (StartVelmora(instance, commandLine) == nullptr) {
        return 1;
    }
    return RunMessageLoop();
}

int RunMessageLoop() {
    // The keys do what their menu items do. The system sends WM_INITMENUPOPUP for an item's
    // popup before it sends the command, and sends none for an item that is greyed, so a key
    // is offered exactly when its menu item is.
    ACCEL shortcuts[] = {
        {FVIRTKEY | FCONTROL, 'O', IDM_OPEN},
        {FVIRTKEY | FCONTROL, 'S', IDM_OVERWRITE_SAVE},
        {FVIRTKEY | FCONTROL | FSHIFT, 'S', IDM_SAVE_AS},
        {FVIRTKEY | FCONTROL, 'C', IDM_COPY_BITMAP},
        {FVIRTKEY | FCONTROL, 'V', IDM_PASTE_BITMAP},
    };
    HACCEL table = CreateAcceleratorTableA(shortcuts, sizeof(shortcuts) / sizeof(shortcuts[0]));
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!BoxKeepsKey(msg) && TranslateAcceleratorA(g_mainWindow, table, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyAcceleratorTable(table);
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK MainFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            OnDestroy();
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
        case WM_DPICHANGED:
            OnDpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
