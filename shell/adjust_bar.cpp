#include "shell/adjust_bar.h"

#include <commctrl.h>

#include <cstdlib>

#include "shell/shell_state.h"

namespace {

constexpr int kEditId = 1;
constexpr int kUpDownId = 2;

// One column group of the bar: label, box and up-down, positioned in MainFrame's client area.
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

// Only the red and pen-size boxes are tab stops; no dialog processing runs, so Tab moves
// nowhere anyway.
constexpr AdjustColumn kColumns[kAdjustCount] = {
    {"R", 4, 22, 28, true, 256, -256, 0},
    {"G", 108, 22, 132, false, 256, -256, 0},
    {"B", 212, 22, 234, false, 256, -256, 0},
    {"ペンサイズ", 320, 122, 442, true, 16, 1, 1},
};

int32_t* SettingFor(int index) {
    switch (index) {
        case kAdjustRed:
            return &g_adjust.red;
        case kAdjustGreen:
            return &g_adjust.green;
        case kAdjustBlue:
            return &g_adjust.blue;
        default:
            return &g_adjust.penSize;
    }
}

}  // namespace

void CreateAdjustBar(HWND mainFrame) {
    for (int i = 0; i < kAdjustCount; ++i) {
        const AdjustColumn& c = kColumns[i];
        CreateWindowExA(0, "STATIC", c.label, WS_CHILD | WS_VISIBLE | SS_CENTER, c.labelX, 5,
                        c.labelWidth, 20, mainFrame, reinterpret_cast<HMENU>(0), g_instance,
                        nullptr);
        const DWORD editStyle =
            WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | (c.editTabStop ? WS_TABSTOP : 0);
        g_adjustBar.edit[i] =
            CreateWindowExA(0, "Edit", nullptr, editStyle, c.editX, 4, 48, 22, mainFrame,
                            reinterpret_cast<HMENU>(kEditId), g_instance, nullptr);
        // Placed right of the box by position, not aligned to it by style. No value here
        // reaches four digits, so thousands grouping can only ever misfire: some common-controls
        // builds group the minus sign too ("-,256"), which the box would show and atoi would
        // read back as 0.
        g_adjustBar.upDown[i] = CreateUpDownControl(
            WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, c.editX + 48, 4,
            24, 22, mainFrame, kUpDownId, g_instance, g_adjustBar.edit[i], c.upper, c.lower,
            c.start);
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
