// MainFrame with its adjustment bar: start-up, layout, menu enabling and the up-down arrows.
#include "tests/shell/shell_fixture.h"

namespace {

using MainFrameTest = ShellTest;

// Only a file that loads names the window; start-up always resets the settings.
TEST_F(MainFrameTest, StartUpLoadsOnlyAWholeNameThatIsABitmap) {
    ScratchDir dir;
    CreateDirectoryA(dir.Path("my pics").c_str(), nullptr);
    const std::string spaced = dir.Path("my pics\\a b.bmp");
    ASSERT_TRUE(WriteFileBytes(spaced, MakeBmp(7, 5)));
    const struct {
        std::string tail, loaded;
    } cases[] = {{"", ""},
                 {" \"" + spaced + "\"", spaced},
                 {" " + dir.Path("my pics"), ""},
                 {" C:\\" + std::string(kPathCapacity, 'a') + ".bmp", ""}};
    for (const auto& c : cases) {
        ASSERT_TRUE(g_image.Create(128, 128));
        g_adjust = {9, 9, 9, 9};
        HWND main = Start("\"C:\\velmora dir\\velmora.exe\"" + c.tail);
        EXPECT_EQ(c.loaded, g_currentFileName);
        EXPECT_EQ(c.loaded.empty() ? "Velmora" : "Velmora - " + c.loaded, WindowText(main));
        EXPECT_EQ(c.loaded.empty() ? 128 : 5, g_shownHeight);
        EXPECT_EQ(1, g_adjust.penSize + g_adjust.red + g_adjust.green + g_adjust.blue);
        EXPECT_EQ("1", WindowText(g_adjustBar.edit[kAdjustPenSize]));
        DestroyWindow(main);
    }
    // Past the 1024 bytes wsprintfA can write, the title still ends in the whole name.
    HWND main = Start();
    const std::string longName = "C:\\" + std::string(1500, 'n') + ".bmp";
    lstrcpyA(g_currentFileName, longName.c_str());
    UpdateTitle();
    EXPECT_EQ("Velmora - " + longName, WindowText(main));
}

// The status bar keeps to the bottom and the canvas takes what is left under the 32-pixel bar,
// which may be nothing.
TEST_F(MainFrameTest, LayoutFollowsTheClientArea) {
    HWND main = Start();
    SetWindowPos(main, nullptr, 0, 0, 520, 300, SWP_NOMOVE | SWP_NOZORDER);
    for (const int height : {0, 20}) {
        if (height > 0) {
            SendMessageA(main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, height));
        }
        RECT client, status, canvas;
        GetClientRect(main, &client);
        GetWindowRect(g_statusBar, &status);
        GetWindowRect(g_canvas, &canvas);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&status), 2);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&canvas), 2);
        const int bottom = height > 0 ? height : client.bottom,
                  right = height > 0 ? 300 : client.right;
        if (height == 0) {
            EXPECT_EQ(client.bottom, status.bottom);
        }
        EXPECT_EQ(right, g_canvasWidth);
        EXPECT_EQ(bottom - (status.bottom - status.top) - 32, g_canvasHeight);
        const RECT want = {0, 32, right, std::max(32L, height > 0 ? 32 : status.top)};
        EXPECT_TRUE(EqualRect(&want, &canvas)) << canvas.top << " " << canvas.bottom;
    }
}

// Overwrite save is offered only after a pen stamp since the last load or save, and never in
// the window menu; paste only while the clipboard holds a bitmap.
TEST_F(MainFrameTest, MenuEnabling) {
    HWND main = Start();
    HMENU bar = GetMenu(main);
    // The one label compared byte for byte in code page 932 ("File"): the character-set canary.
    char label[32] = "";
    GetMenuStringA(bar, 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ(
        "\x83t\x83@\x83"
        "C\x83\x8B\x81i&F\x81j",
        label);
    auto enabled = [&](int popup, UINT id, LPARAM index) {
        SendMessageA(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(bar, popup)),
                     index);
        return (GetMenuState(GetSubMenu(bar, popup), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    g_adjust = {10, 20, 30, 1};
    SendMessageA(main, WM_COMMAND, IDM_WHOLE_IMAGE, 0);
    EXPECT_FALSE(enabled(0, IDM_OVERWRITE_SAVE, 0));
    SendMessageA(g_canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_TRUE(enabled(0, IDM_OVERWRITE_SAVE, 0));
    EXPECT_FALSE(enabled(0, IDM_OVERWRITE_SAVE, MAKELPARAM(0, TRUE)));
    for (const bool full : {false, true}) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        CloseClipboard();
        if (full) {
            SendMessageA(main, WM_COMMAND, IDM_COPY_BITMAP, 0);
        }
        EXPECT_EQ(full, enabled(1, IDM_PASTE_BITMAP, 1));
    }
}

// Each arrow steps its own setting and box by one up to its limit; nothing else moves a
// setting: not a scroll message from another sender, nor typing in the read-only boxes.
TEST_F(MainFrameTest, OnlyTheArrowsChangeTheSettings) {
    HWND main = Start();
    const int lower[] = {-256, -256, -256, 1}, upper[] = {256, 256, 256, 16};
    for (int i = 0; i < kAdjustCount; ++i) {
        const struct {
            int from, clicks;
            bool up;
            int to;
        } steps[] = {{upper[i] - 1, 2, true, upper[i]},
                     {lower[i] + 1, 2, false, lower[i]},
                     {lower[i] == 1 ? 2 : 1, 1, false, lower[i] == 1 ? 1 : 0}};
        for (const auto& s : steps) {
            HWND upDown = g_adjustBar.upDown[i];
            SendMessageA(upDown, UDM_SETPOS32, 0, s.from);
            RECT r;
            GetClientRect(upDown, &r);
            const LPARAM at = MAKELPARAM(r.right / 2, s.up ? r.bottom / 4 : r.bottom * 3 / 4);
            for (int n = 0; n < s.clicks; ++n) {  // the release ends the control's repeat timer
                SendMessageA(upDown, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendMessageA(upDown, WM_LBUTTONUP, 0, at);
            }
            std::vector<int32_t> want = {0, 0, 0, 1};
            want[i] = s.to;
            EXPECT_EQ(want, (std::vector<int32_t>{g_adjust.red, g_adjust.green, g_adjust.blue,
                                                  g_adjust.penSize}));
            EXPECT_EQ(std::to_string(s.to), WindowText(g_adjustBar.edit[i]));
        }
    }
    SetWindowTextA(g_adjustBar.edit[kAdjustGreen], "42");
    SetWindowTextA(g_adjustBar.edit[kAdjustBlue], "-7");
    SendMessageA(main, WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(g_adjustBar.upDown[1]));
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION, reinterpret_cast<LPARAM>(g_adjustBar.edit[2]));
    SendMessageA(main, WM_VSCROLL, SB_THUMBPOSITION, 0);
    SendMessageA(g_adjustBar.edit[kAdjustRed], WM_CHAR, '5', 0);
    EXPECT_EQ("0", WindowText(g_adjustBar.edit[kAdjustRed]));
    EXPECT_EQ(42, g_adjust.green);
    EXPECT_EQ(0, g_adjust.blue);
}

}  // namespace
