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

int32_t Setting(int index) {
    const int32_t values[] = {g_adjust.red, g_adjust.green, g_adjust.blue, g_adjust.penSize};
    return values[index];
}

struct Control {
    const char* name;
    int x;  // left edge of the box in MainFrame's client area
    int lower, upper, start;
};
const Control kControls[kAdjustCount] = {
    {"red", 28, -256, 256, 0},
    {"green", 132, -256, 256, 0},
    {"blue", 234, -256, 256, 0},
    {"pen", 442, 1, 16, 1},
};

// Ranges, wrapping, arrow keys and the read-only boxes show in the tests that use them.
TEST_F(AdjustBarTest, ControlsSitWhereTheBarPutsThem) {
    HWND main = Start();
    for (int i = 0; i < kAdjustCount; ++i) {
        SCOPED_TRACE(kControls[i].name);
        RECT edit, upDown;
        GetWindowRect(g_adjustBar.edit[i], &edit);
        GetWindowRect(g_adjustBar.upDown[i], &upDown);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&edit), 2);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&upDown), 2);
        // The up-down's width is the control library's own once it has a buddy.
        const LONG got[] = {edit.left,   edit.top,  edit.right - edit.left, edit.bottom - edit.top,
                            upDown.left, upDown.top};
        const LONG want[] = {kControls[i].x, 4, 48, 22, kControls[i].x + 48, 4};
        EXPECT_EQ(std::vector<LONG>(want, want + 6), std::vector<LONG>(got, got + 6));
        EXPECT_EQ(1, GetDlgCtrlID(g_adjustBar.edit[i]));
        EXPECT_EQ(2, GetDlgCtrlID(g_adjustBar.upDown[i]));
        EXPECT_EQ(g_adjustBar.edit[i],
                  reinterpret_cast<HWND>(SendMessageA(g_adjustBar.upDown[i], UDM_GETBUDDY, 0, 0)));
        const bool tabStop = (GetWindowLongA(g_adjustBar.edit[i], GWL_STYLE) & WS_TABSTOP) != 0;
        EXPECT_EQ(i == kAdjustRed || i == kAdjustPenSize, tabStop);
    }
}

struct Label {
    std::string text;
    RECT rect;
};

BOOL CALLBACK CollectLabel(HWND child, LPARAM param) {
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0) {
        Label label{WindowText(child), {}};
        GetWindowRect(child, &label.rect);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&label.rect), 2);
        reinterpret_cast<std::vector<Label>*>(param)->push_back(label);
    }
    return TRUE;
}

TEST_F(AdjustBarTest, LabelsReadRGBAndPenSizeInCodePage932) {
    HWND main = Start();
    std::vector<Label> labels;
    EnumChildWindows(main, CollectLabel, reinterpret_cast<LPARAM>(&labels));
    ASSERT_EQ(4u, labels.size());
    std::sort(labels.begin(), labels.end(),
              [](const Label& a, const Label& b) { return a.rect.left < b.rect.left; });
    const struct {
        const char* text;
        int x, width;
    } expected[] = {{"R", 4, 22},
                    {"G", 108, 22},
                    {"B", 212, 22},
                    {"\x83y\x83\x93\x83T\x83"
                     "C\x83Y",
                     320, 122}};
    for (size_t i = 0; i < labels.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].text, labels[i].text);
        EXPECT_EQ(expected[i].x, labels[i].rect.left);
        EXPECT_EQ(5, labels[i].rect.top);
        EXPECT_EQ(expected[i].width, labels[i].rect.right - labels[i].rect.left);
        EXPECT_EQ(20, labels[i].rect.bottom - labels[i].rect.top);
    }
}

// Each arrow steps its own setting and box by one, and stops at the limits without wrapping.
TEST_F(AdjustBarTest, ArrowsStepTheSettingAndTheBoxTogetherUpToTheLimits) {
    Start();
    for (int i = 0; i < kAdjustCount; ++i) {
        SCOPED_TRACE(kControls[i].name);
        HWND upDown = g_adjustBar.upDown[i];
        const struct {
            int32_t from;
            bool upper;
            int clicks;
            int32_t to;
        } steps[] = {{kControls[i].start, true, 1, kControls[i].start + 1},
                     {kControls[i].upper - 1, true, 3, kControls[i].upper},
                     {kControls[i].lower + 1, false, 3, kControls[i].lower},
                     {kControls[i].start + 1, false, 1, kControls[i].start}};
        for (const auto& s : steps) {
            SendMessageA(upDown, UDM_SETPOS32, 0, s.from);
            for (int n = 0; n < s.clicks; ++n) {
                ClickArrow(upDown, s.upper);
            }
            EXPECT_EQ(s.to, Setting(i)) << "from " << s.from;
            EXPECT_EQ(std::to_string(s.to), WindowText(g_adjustBar.edit[i]));
        }
        for (int other = i + 1; other < kAdjustCount; ++other) {
            EXPECT_EQ(kControls[other].start, Setting(other)) << "moved by " << kControls[i].name;
        }
    }
}

// The setting always equals what the box shows: any scroll code from an up-down re-reads it,
// and a sender that is none of the four changes nothing.
TEST_F(AdjustBarTest, ScrollMessageRereadsOnlyTheMatchingBox) {
    HWND main = Start();
    SetWindowTextA(g_adjustBar.edit[kAdjustGreen], "42");
    SetWindowTextA(g_adjustBar.edit[kAdjustBlue], "-7");
    EXPECT_EQ(0, SendMessageA(main, WM_VSCROLL, SB_ENDSCROLL,
                              reinterpret_cast<LPARAM>(g_adjustBar.upDown[kAdjustGreen])));
    EXPECT_EQ(42, g_adjust.green);
    EXPECT_EQ(0, g_adjust.blue);
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION,
                 reinterpret_cast<LPARAM>(g_adjustBar.edit[kAdjustBlue]));
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION, 0);
    EXPECT_EQ(0, g_adjust.blue);
    EXPECT_EQ(0, g_adjust.red);
    EXPECT_EQ(1, g_adjust.penSize);
}

TEST_F(AdjustBarTest, BoxesRefuseTypingAndArrowKeysLeaveValuesAlone) {
    Start();
    HWND red = g_adjustBar.edit[kAdjustRed];
    SendMessageA(red, WM_CHAR, '5', 0);
    SendMessageA(red, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(red, WM_KEYUP, VK_UP, 0);
    PumpMessages();
    EXPECT_EQ("0", WindowText(red));
    EXPECT_EQ(0, g_adjust.red);
}

}  // namespace
