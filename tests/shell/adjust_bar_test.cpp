#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/adjust_bar.h"
#include "shell/shell_state.h"
#include "tests/shell/shell_fixture.h"

namespace {

using AdjustBarTest = ShellTest;

// A real click on one arrow of the up-down: the control itself changes the box and tells
// MainFrame. The release must follow, or the control keeps capture and its repeat timer.
void ClickArrow(HWND upDown, bool upper) {
    RECT r;
    GetClientRect(upDown, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, upper ? r.bottom / 4 : r.bottom * 3 / 4);
    SendMessageA(upDown, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(upDown, WM_LBUTTONUP, 0, at);
    PumpMessages();
}

std::vector<int32_t> Settings() {
    return {g_adjust.red, g_adjust.green, g_adjust.blue, g_adjust.penSize};
}

// Left, top, width and height in MainFrame's client area.
std::vector<LONG> Place(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

struct Control {
    const char* label;  // code page 932 bytes
    int labelX, labelWidth;
    int x;  // left edge of the box
    int lower, upper, start;
};
const Control kControls[kAdjustCount] = {
    {"R", 4, 22, 28, -256, 256, 0},
    {"G", 108, 22, 132, -256, 256, 0},
    {"B", 212, 22, 234, -256, 256, 0},
    {"\x83y\x83\x93\x83T\x83"
     "C\x83Y",
     320, 122, 442, 1, 16, 1},
};

BOOL CALLBACK CollectLabel(HWND child, LPARAM param) {
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    }
    return TRUE;
}

// Ranges, wrapping, arrow keys and the read-only boxes show in the tests that use them.
TEST_F(AdjustBarTest, LabelsBoxesAndArrowsSitWhereTheBarPutsThem) {
    HWND main = Start();
    std::vector<HWND> labels;
    EnumChildWindows(main, CollectLabel, reinterpret_cast<LPARAM>(&labels));
    ASSERT_EQ(4u, labels.size());
    std::sort(labels.begin(), labels.end(),
              [](HWND a, HWND b) { return Place(a)[0] < Place(b)[0]; });
    for (int i = 0; i < kAdjustCount; ++i) {
        const Control& c = kControls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(c.label, WindowText(labels[i]));
        EXPECT_EQ((std::vector<LONG>{c.labelX, 5, c.labelWidth, 20}), Place(labels[i]));
        EXPECT_EQ((std::vector<LONG>{c.x, 4, 48, 22}), Place(g_adjustBar.edit[i]));
        // The up-down's width is the control library's own once it has a buddy.
        EXPECT_EQ(c.x + 48, Place(g_adjustBar.upDown[i])[0]);
        EXPECT_EQ(4, Place(g_adjustBar.upDown[i])[1]);
        EXPECT_EQ(1, GetDlgCtrlID(g_adjustBar.edit[i]));
        EXPECT_EQ(2, GetDlgCtrlID(g_adjustBar.upDown[i]));
        EXPECT_EQ(g_adjustBar.edit[i],
                  reinterpret_cast<HWND>(SendMessageA(g_adjustBar.upDown[i], UDM_GETBUDDY, 0, 0)));
        const bool tabStop = (GetWindowLongA(g_adjustBar.edit[i], GWL_STYLE) & WS_TABSTOP) != 0;
        EXPECT_EQ(i == kAdjustRed || i == kAdjustPenSize, tabStop);
    }
}

// Each arrow steps its own setting and box by one, and stops at the limits without wrapping.
TEST_F(AdjustBarTest, ArrowsStepTheSettingAndTheBoxTogetherUpToTheLimits) {
    Start();
    for (int i = 0; i < kAdjustCount; ++i) {
        const Control& c = kControls[i];
        SCOPED_TRACE(i);
        const struct {
            int32_t from;
            bool upper;
            int clicks;
            int32_t to;
        } steps[] = {{c.start, true, 1, c.start + 1},
                     {c.upper - 1, true, 3, c.upper},
                     {c.lower + 1, false, 3, c.lower},
                     {c.start + 1, false, 1, c.start}};
        for (const auto& s : steps) {
            SendMessageA(g_adjustBar.upDown[i], UDM_SETPOS32, 0, s.from);
            for (int n = 0; n < s.clicks; ++n) {
                ClickArrow(g_adjustBar.upDown[i], s.upper);
            }
            EXPECT_EQ(s.to, Settings()[i]) << "from " << s.from;
            EXPECT_EQ(std::to_string(s.to), WindowText(g_adjustBar.edit[i]));
        }
        EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 1}), Settings()) << "another setting moved";
    }
}

// The setting always equals what the box shows: any scroll code from an up-down re-reads it,
// a sender that is none of the four changes nothing, and the boxes take no typing or keys.
TEST_F(AdjustBarTest, OnlyTheUpDownsChangeTheSettings) {
    HWND main = Start();
    SetWindowTextA(g_adjustBar.edit[kAdjustGreen], "42");
    SetWindowTextA(g_adjustBar.edit[kAdjustBlue], "-7");
    EXPECT_EQ(0, SendMessageA(main, WM_VSCROLL, SB_ENDSCROLL,
                              reinterpret_cast<LPARAM>(g_adjustBar.upDown[kAdjustGreen])));
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION,
                 reinterpret_cast<LPARAM>(g_adjustBar.edit[kAdjustBlue]));
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION, 0);
    HWND red = g_adjustBar.edit[kAdjustRed];
    SendMessageA(red, WM_CHAR, '5', 0);
    SendMessageA(red, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(red, WM_KEYUP, VK_UP, 0);
    PumpMessages();
    EXPECT_EQ("0", WindowText(red));
    EXPECT_EQ((std::vector<int32_t>{0, 42, 0, 1}), Settings());
}

}  // namespace
