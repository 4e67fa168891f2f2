// MainFrame's menu commands, menu enabling and dropped files. Every handler keeps the current
// file name, the title, the modified flag and the canvas in step with the image it leaves behind.
#include "shell/commands.h"

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "packaging/version.h"
#include "shell/canvas_view.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"

namespace {

constexpr char kVersionText[] = "Velmora " VELMORA_VERSION_TEXT " " VELMORA_COPYRIGHT;
constexpr char kAuthorSite[] = "https://velmora.example.com/";

char g_dropFile[kDialogPathCapacity] = "";
constexpr char kBmpExtension[] = ".bmp";
constexpr int kBmpExtensionLength = sizeof kBmpExtension - 1;

void OpenUrlWithShell(const char* url) {
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

OpenUrlFunction g_openUrl = OpenUrlWithShell;

// ASCII letters only: a byte of a double-byte character must never match by accident, and the
// '.' that starts the extension can be neither a lead nor a trail byte in code page 932, so a
// plain byte comparison of the last four bytes is exact.
bool EndsWithBmpExtension(const char* text, int length) {
    if (length < kBmpExtensionLength) {
        return false;
    }
    const char* tail = text + length - kBmpExtensionLength;
    for (int i = 0; i < kBmpExtensionLength; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kBmpExtension[i]) {
            return false;
        }
    }
    return true;
}

// The common ending of every successful open, drop and save.
void AdoptFileName(const char* path) {
    g_modified = false;
    SetCurrentFileName(path);
}

// Files are read and written on the window's one thread, so a large picture holds the window
// still for a moment: the wait cursor says so until the work ends, then the old one returns.
bool LoadShowingWait(const char* path) {
    const HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const bool loaded = LoadBmp(g_image, path);
    SetCursor(old);
    return loaded;
}

bool SaveShowingWait(const char* path) {
    const HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const bool saved = SaveBmp(g_image, path);
    SetCursor(old);
    return saved;
}

bool LoadImageFile(const char* path) {
    if (!LoadShowingWait(path)) {
        return false;
    }
    AdoptFileName(path);
    return true;
}

// The dialog only checked the name as typed for an existing file; when the extension is added
// afterwards, the name that will really be written has to be asked about here.
bool MayReplace(HWND mainFrame, const char* path) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    char question[sizeof g_dialogFile + 64];
    wsprintfA(question, "%s は既に存在します。\n上書きしますか？", path);
    return MessageBoxA(mainFrame, question, "確認", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
           IDYES;
}

// Leaves in g_dialogFile the name the save dialog chose, with the extension its filter adds;
// false when the user backs out, in the dialog or when asked about replacing, or when the name
// leaves no room for the extension.
bool ChooseSavePath(HWND mainFrame) {
    g_fileDialog.lpstrTitle = "保存";
    g_fileDialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&g_fileDialog)) {
        return false;
    }
    const int length = lstrlenA(g_dialogFile);
    if (g_fileDialog.nFilterIndex != 1 || EndsWithBmpExtension(g_dialogFile, length)) {
        return true;
    }
    // A name that leaves no room for the extension is refused rather than cut or written past
    // the buffer's end.
    if (length + kBmpExtensionLength >= static_cast<int>(sizeof g_dialogFile)) {
        return false;
    }
    lstrcatA(g_dialogFile, kBmpExtension);
    return MayReplace(mainFrame, g_dialogFile);
}

// Save under a name chosen in the dialog; every failure here is silent.
void SaveUnderChosenName(HWND mainFrame) {
    if (ChooseSavePath(mainFrame) && SaveShowingWait(g_dialogFile)) {
        AdoptFileName(g_dialogFile);
    }
}

void OnOpen() {
    g_fileDialog.lpstrTitle = "開く";
    g_fileDialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    g_fileDialog.nFilterIndex = 1;
    if (!GetOpenFileNameA(&g_fileDialog)) {
        return;
    }
    LoadImageFile(g_dialogFile);
    RefitCanvas();
}

void OnOverwriteSave(HWND mainFrame) {
    if (g_currentFileName[0] == '\0') {
        g_fileDialog.nFilterIndex = 1;
        SaveUnderChosenName(mainFrame);
        return;
    }
    if (SaveShowingWait(g_currentFileName)) {
        g_modified = false;
    } else {
        MessageBoxA(mainFrame, "保存に失敗しました。", "エラー", MB_OK);
    }
}

void OnPaste() {
    if (PasteFromClipboard(g_image)) {
        SetCurrentFileName("");
    }
    RefitCanvas();
}

void OnWholeImage() {
    AddToWholeImage(g_image, g_adjust);
    InvalidateRgn(g_canvas, nullptr, FALSE);
}

void OnImageSize(HWND mainFrame) {
    char text[256];
    wsprintfA(text, "幅：%dピクセル　高さ：%dピクセル", g_image.GetWidth(), g_image.GetHeight());
    MessageBoxA(mainFrame, text, "画像サイズ", MB_OK);
}

}  // namespace

void SetUrlOpener(OpenUrlFunction opener) {
    g_openUrl = opener;
}

void OnCommand(HWND mainFrame, int commandId) {
    switch (commandId) {
        case IDM_OPEN:
            OnOpen();
            break;
        case IDM_SAVE_AS:
            SaveUnderChosenName(mainFrame);
            break;
        case IDM_OVERWRITE_SAVE:
            OnOverwriteSave(mainFrame);
            break;
        case IDM_EXIT:
            DestroyWindow(mainFrame);
            break;
        case IDM_COPY_BITMAP:
            CopyToClipboard(g_image);
            break;
        case IDM_PASTE_BITMAP:
            OnPaste();
            break;
        case IDM_WHOLE_IMAGE:
            OnWholeImage();
            break;
        case IDM_IMAGE_SIZE:
            OnImageSize(mainFrame);
            break;
        case IDM_VERSION_INFO:
            MessageBoxA(mainFrame, kVersionText, "バージョン情報", MB_OK);
            break;
        case IDM_AUTHOR_SITE:
            g_openUrl(kAuthorSite);
            break;
        default:
            break;
    }
}

void OnInitMenuPopup(HMENU popup, LPARAM lParam) {
    // lParam is compared whole, so the system menu (high word set) never matches a popup index.
    bool canOverwrite = lParam == 0 && g_modified;
    EnableMenuItem(popup, IDM_OVERWRITE_SAVE,
                   MF_BYCOMMAND | (canOverwrite ? MF_ENABLED : MF_GRAYED));
    bool canPaste = lParam == 1 && IsClipboardFormatAvailable(CF_DIB);
    EnableMenuItem(popup, IDM_PASTE_BITMAP, MF_BYCOMMAND | (canPaste ? MF_ENABLED : MF_GRAYED));
}

void OnDropFiles(HDROP drop) {
    // A path that does not fit is refused whole: opening it cut short would load, or later
    // overwrite, a different file.
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (count > 0 && DragQueryFileA(drop, 0, nullptr, 0) < static_cast<UINT>(kDialogPathCapacity) &&
        DragQueryFileA(drop, 0, g_dropFile, kDialogPathCapacity) > 0) {
        if (LoadImageFile(g_dropFile)) {
            lstrcpyA(g_dialogFile, g_dropFile);
        }
    }
    DragFinish(drop);
    RefitCanvas();
    UpdateWindow(g_mainWindow);
}

void RefitCanvas() {
    g_shownWidth = g_image.GetWidth();
    g_shownHeight = g_image.GetHeight();
    PlaceCanvasView(CanvasPlacement::kRefitScrollBars);
    InvalidateRgn(g_mainWindow, nullptr, FALSE);
}
