#include "shell/adjust_bar.h"

#include <commctrl.h>

#include <cstdlib>

#include "image/pixel_addition.h"
#include "shell/display_scale.h"
#include "shell/shell_state.h"

namespace {

constexpr int kEditId = 1;
constexpr int kUpDownId = 2;

// One column group of the bar: label, box and up-down, positioned in MainFrame's client area.
// Like every length below, in pixels at 96 dots per inch.
struct AdjustColumn {
    const char* label;
    int labelX;
    int labelWidth;
    int editX;
    bool editTabStop;
    int upper;
    int lower;
    int start;
};

// Each up-down starts where the settings start, so the boxes show what painting will use.
constexpr AdjustSettings kStart{};

// Only the red and pen-size boxes are tab stops; no dialog processing runs, so Tab moves
// nowhere anyway.
constexpr AdjustColumn kColumns[kAdjustCount] = {
    {"R", 4, 22, 28, true, kMaxOffset, kMinOffset, kStart.red},
    {"G", 108, 22, 132, false, kMaxOffset, kMinOffset, kStart.green},
    {"B", 212, 22, 234, false, kMaxOffset, kMinOffset, kStart.blue},
    {"ペンサイズ", 320, 122, 442, true, kMaxPenSize, kMinPenSize, kStart.penSize},
};
constexpr int kLabelY = 5;
constexpr int kLabelHeight = 20;
constexpr int kBoxY = 4;
constexpr int kBoxWidth = 48;
constexpr int kBoxHeight = 22;
// The up-down sits right of its box by position, not aligned to it by style.
constexpr int kArrowsWidth = 24;

// The labels' and boxes' font when the window's scale is not the system's; null otherwise.
HFONT g_scaledFont = nullptr;

// The controls draw in the system font, which the system sizes for its own scale; on a display
// of another scale the same face is made anew at that scale.
HFONT FontFor(UINT dpi) {
    HFONT system = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    if (dpi == SystemDpi()) {
        return system;
    }
    LOGFONTA font = {};
    GetObjectA(system, sizeof(font), &font);
    return CreateFontForDpi(font, dpi);
}

void Place(HWND control, int x, int y, int width, int height) {
    SetWindowPos(control, nullptr, ScaleToDpi(x, g_dpi), ScaleToDpi(y, g_dpi),
                 ScaleToDpi(width, g_dpi), ScaleToDpi(height, g_dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

int32_t* SettingFor(int index) {
    switch (index) {
        case kAdjustRed:
            return &g_adjust.red;
        case kAdjustGreen:
            return &g_adjust.green;
        case kAdjustBlue:
            return &g_adjust.blue;
        case kAdjustPenSize:
            break;
    }
    return &g_adjust.penSize;
}

}  // namespace

void CreateAdjustBar(HWND mainFrame) {
    for (int i = 0; i < kAdjustCount; ++i) {
        const AdjustColumn& c = kColumns[i];
        g_adjustBar.label[i] =
            CreateWindowExA(0, "STATIC", c.label, WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0, 0, 0,
                            mainFrame, reinterpret_cast<HMENU>(0), g_instance, nullptr);
        const DWORD editStyle =
            WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | (c.editTabStop ? WS_TABSTOP : 0);
        g_adjustBar.edit[i] =
            CreateWindowExA(0, "Edit", nullptr, editStyle, 0, 0, 0, 0, mainFrame,
                            reinterpret_cast<HMENU>(kEditId), g_instance, nullptr);
        // No value here reaches four digits, so thousands grouping can only ever misfire: some
        // common-controls builds group the minus sign too ("-,256"), which the box would show
        // and atoi would read back as 0.
        g_adjustBar.upDown[i] = CreateUpDownControl(
            WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, 0, 0, 0, 0,
            mainFrame, kUpDownId, g_instance, g_adjustBar.edit[i], c.upper, c.lower, c.start);
    }
    LayOutAdjustBar();
}

void LayOutAdjustBar() {
    HFONT font = FontFor(g_dpi);
    for (int i = 0; i < kAdjustCount; ++i) {
        const AdjustColumn& c = kColumns[i];
        Place(g_adjustBar.label[i], c.labelX, kLabelY, c.labelWidth, kLabelHeight);
        Place(g_adjustBar.edit[i], c.editX, kBoxY, kBoxWidth, kBoxHeight);
        Place(g_adjustBar.upDown[i], c.editX + kBoxWidth, kBoxY, kArrowsWidth, kBoxHeight);
        SendMessageA(g_adjustBar.label[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendMessageA(g_adjustBar.edit[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // Only now is the old font in no control's hands.
    FreeAdjustBarFont();
    g_scaledFont = font == GetStockObject(SYSTEM_FONT) ? nullptr : font;
}

void FreeAdjustBarFont() {
    if (g_scaledFont != nullptr) {
        DeleteObject(g_scaledFont);
        g_scaledFont = nullptr;
    }
}

void OnAdjustScroll(HWND sender) {
    if (sender == nullptr) {
        return;  // a control that failed to be created must not answer for an absent sender
    }
    for (int i = 0; i < kAdjustCount; ++i) {
        if (sender == g_adjustBar.upDown[i]) {
            // The box shows what the up-down holds, so reading it back keeps the setting
            // equal to what the user sees whatever the scroll code was.
            char text[16] = "";
            GetWindowTextA(g_adjustBar.edit[i], text, sizeof(text));
            *SettingFor(i) = std::atoi(text);
            return;
        }
    }
}
