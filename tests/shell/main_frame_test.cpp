#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "image/pixel_image.h"
#include "shell/adjust_bar.h"
#include "shell/main_frame.h"
#include "shell/shell_state.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_files.h"

namespace {

std::string ClassName(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

using MainFrameTest = ShellTest;

// A start-up that makes no window ends at once with a failure code rather than waiting in a
// loop nothing could end: the window refused by a hook, then a "CWindow" class that is not ours.
LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}
TEST_F(MainFrameTest, StartUpWithoutAWindowEndsWithAFailure) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseCreation, nullptr, GetCurrentThreadId());
    EXPECT_EQ(1, RunVelmora(instance, "velmora.exe"));
    UnhookWindowsHookEx(hook);
    UnregisterClassA("CWindow", instance);
    WNDCLASSEXA other = {};
    other.cbSize = sizeof(other);
    other.lpfnWndProc = DefWindowProcA;
    other.hInstance = instance;
    other.lpszClassName = "CWindow";
    ASSERT_NE(0, RegisterClassExA(&other));
    EXPECT_EQ(1, RunVelmora(instance, "velmora.exe"));
    UnregisterClassA("CWindow", instance);
}

// The file properties read the version record through the ANSI calls too, so its copyright
// must come back as the version box's code page 932 text.
TEST(VersionRecordTest, NamesTheProgramAndItsCopyright) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::vector<char> record(GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(record.size()), record.data()));
    const auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        const std::string key = std::string("\\StringFileInfo\\041104B0\\") + name;
        VerQueryValueA(record.data(), key.c_str(), reinterpret_cast<void**>(&text), &length);
        return std::string(text != nullptr ? text : "");
    };
    EXPECT_EQ("Velmora", value("ProductName"));
    EXPECT_EQ("Velmora", value("FileDescription"));
    EXPECT_EQ("05", value("ProductVersion"));
    EXPECT_EQ("Copyright (C) 2026 Velmora 開発チーム", value("LegalCopyright"));
}

// Start-up builds the same windows every time and remembers the path only when the file loads;
// everything else keeps "Velmora". How the tail is cut is tested byte by byte with the command
// line; here the files load for real.
TEST_F(MainFrameTest, StartUpWithAndWithoutAFile) {
    ScratchDir dir;
    CreateDirectoryA(dir.Path("my pics").c_str(), nullptr);
    const std::string spaced = dir.Path("my pics\\a b.bmp");
    const std::string plain = dir.Path("plain.bmp");
    ASSERT_TRUE(WriteFileBytes(spaced, MakeBmp(7, 5)));
    ASSERT_TRUE(WriteFileBytes(plain, MakeBmp(3, 9)));
    const struct {
        const char* name;
        std::string commandLine;
        std::string loaded;  // empty: the load must fail
        int32_t width, height;
    } cases[] = {
        {"program only", "velmora.exe", "", 128, 128},
        {"quoted with blanks", "\"C:\\velmora dir\\velmora.exe\" \"" + spaced + "\"", spaced, 7, 5},
        {"unquoted", "velmora.exe " + plain, plain, 3, 9},
        {"quoted then blanks", "velmora.exe \"" + plain + "\"  ", "", 128, 128},
        {"two names are one path", "velmora.exe " + plain + " " + plain, "", 128, 128},
        {"not a bmp", "velmora.exe " + dir.Path("my pics"), "", 128, 128},
        // The current file name holds 32768 bytes; a longer tail is refused whole instead of
        // being copied past its end.
        {"over-long", "velmora.exe C:\\" + std::string(kPathCapacity + 100, 'a') + ".bmp", "", 128,
         128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(g_image.Create(128, 128));
        HWND main = Start(c.commandLine);
        ASSERT_NE(nullptr, main);
        EXPECT_EQ(main, g_mainWindow);
        EXPECT_EQ("CWindow", ClassName(main));
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_EQ("CBMPWin", ClassName(g_canvas));
        EXPECT_EQ(main, GetParent(g_canvas));
        EXPECT_EQ(main, GetParent(g_statusBar));
        EXPECT_EQ("", StatusBarText());
        EXPECT_EQ(1, SendMessageA(g_statusBar, SB_GETPARTS, 0, 0));
        for (int i = 0; i < kAdjustCount; ++i) {
            EXPECT_EQ(i == kAdjustPenSize ? "1" : "0", WindowText(g_adjustBar.edit[i])) << i;
        }
        EXPECT_EQ(1, g_adjust.penSize);
        EXPECT_EQ(c.loaded, g_currentFileName);
        EXPECT_EQ(c.loaded.empty() ? "Velmora" : "Velmora - " + c.loaded, WindowText(main));
        EXPECT_EQ(c.width, g_image.GetWidth());
        EXPECT_EQ(c.height, g_shownHeight);
        EXPECT_FALSE(g_modified);
        EXPECT_STREQ("", g_dialogFile);  // the first save dialog proposes no name
        DestroyWindow(main);
        PumpMessages();
    }
}

// Past wsprintfA's 1024-byte limit the title still ends in the whole name.
TEST_F(MainFrameTest, TitleCarriesTheWholeOfALongName) {
    HWND main = Start();
    const std::string name = "C:\\" + std::string(1500, 'n') + ".bmp";
    lstrcpyA(g_currentFileName, name.c_str());
    UpdateTitle();
    EXPECT_EQ("Velmora - " + name, WindowText(main));
}

struct MenuEntry {
    int popup;          // position in the bar
    int position;       // position in the popup
    UINT id;            // 0: separator
    const char* label;  // CP932 bytes
};

// Byte for byte in code page 932: full-width parentheses are 81 69 / 81 6A.
const MenuEntry kMenu[] = {
    {0, 0, IDM_OPEN, "\x8AJ\x82\xAD\x81i&O\x81j"},
    {0, 1, IDM_SAVE_AS, "\x95\xDB\x91\xB6\x81i&A\x81j"},
    {0, 2, IDM_OVERWRITE_SAVE, "\x8F\xE3\x8F\x91\x82\xAB\x95\xDB\x91\xB6\x81i&S\x81j"},
    {0, 3, 0, ""},
    {0, 4, IDM_EXIT, "\x8FI\x97\xB9\x81i&X\x81j"},
    {1, 0, IDM_COPY_BITMAP,
     "\x83r\x83"
     "b\x83g\x83}\x83"
     "b\x83v\x82\xF0\x83R\x83s\x81[(&C)"},
    {1, 1, IDM_PASTE_BITMAP,
     "\x83r\x83"
     "b\x83g\x83}\x83"
     "b\x83v\x82\xF0\x93\x5C\x82\xE8\x95t\x82\xAF(&P)"},
    {1, 2, IDM_WHOLE_IMAGE, "\x91S\x91\xCC\x8F\x88\x97\x9D(&A)"},
    {2, 0, IDM_IMAGE_SIZE,
     "\x89\xE6\x91\x9C\x83T\x83"
     "C\x83Y(&S)"},
    {3, 0, IDM_VERSION_INFO, "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1\x81i&A\x81j"},
    {3, 1, IDM_AUTHOR_SITE,
     "\x8D\xEC\x8E\xD2\x83T\x83"
     "C\x83g\x81uHollowmere\x81v\x82\xD6\x81i&G\x81j"},
};

const char* const kPopups[] = {
    "\x83t\x83@\x83"
    "C\x83\x8B\x81i&F\x81j",
    "\x95\xD2\x8FW\x81i&E\x81j",
    "\x89\xE6\x91\x9C\x8F\xEE\x95\xF1\x81i&I\x81j",
    "\x83w\x83\x8B\x83v\x81i&H\x81j",
};

std::string MenuLabel(HMENU menu, int position) {
    char label[128] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), label, sizeof(label), MF_BYPOSITION);
    return label;
}

TEST_F(MainFrameTest, MenuBarLabelsIdsAndOrderAreExact) {
    HWND main = Start();
    HMENU bar = GetMenu(main);
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ(4, GetMenuItemCount(bar));
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(kPopups[p], MenuLabel(bar, p)) << "popup " << p;
        ASSERT_NE(nullptr, GetSubMenu(bar, p));
        EXPECT_EQ(std::count_if(std::begin(kMenu), std::end(kMenu),
                                [p](const MenuEntry& e) { return e.popup == p; }),
                  GetMenuItemCount(GetSubMenu(bar, p)));
    }
    for (const MenuEntry& e : kMenu) {
        SCOPED_TRACE("item " + std::to_string(e.popup) + "/" + std::to_string(e.position));
        HMENU popup = GetSubMenu(bar, e.popup);
        const UINT state = GetMenuState(popup, static_cast<UINT>(e.position), MF_BYPOSITION);
        if (e.id == 0) {
            EXPECT_TRUE(state & MF_SEPARATOR);
            continue;
        }
        EXPECT_EQ(e.id, GetMenuItemID(popup, e.position));
        EXPECT_EQ(e.label, MenuLabel(popup, e.position));
        EXPECT_EQ(0u, state & (MF_GRAYED | MF_DISABLED));
    }
}

// The status bar sits at the bottom and the canvas fills what is left under the adjustment bar,
// after start-up's menu bar shrank the client area, after a resize, and even when no room is
// left.
TEST_F(MainFrameTest, LayoutFollowsTheClientArea) {
    HWND main = Start();
    RECT status;
    GetWindowRect(g_statusBar, &status);
    const int statusHeight = status.bottom - status.top;
    ASSERT_GT(statusHeight, 0);
    struct {
        int width, height;  // 0: resize the window instead and read the client back
    } const sizes[] = {{0, 0}, {700, 500}, {300, 32 + statusHeight}, {200, 20}, {50, 1}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        RECT client;
        if (s.width == 0) {
            SetWindowPos(main, nullptr, 0, 0, 520, 300, SWP_NOMOVE | SWP_NOZORDER);
            GetClientRect(main, &client);
            GetWindowRect(g_statusBar, &status);
            MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&status), 2);
            EXPECT_EQ(client.bottom, status.bottom);
        } else {
            client = {0, 0, s.width, s.height};
            EXPECT_EQ(0, SendMessageA(main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(s.width, s.height)));
        }
        const int canvasHeight = client.bottom - statusHeight - 32;
        EXPECT_EQ(client.right, g_canvasWidth);
        EXPECT_EQ(canvasHeight, g_canvasHeight);
        RECT canvas;
        GetWindowRect(g_canvas, &canvas);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&canvas), 2);
        EXPECT_EQ(0, canvas.left);
        EXPECT_EQ(32, canvas.top);
        EXPECT_EQ(client.right, canvas.right);
        EXPECT_EQ(canvasHeight > 0 ? canvasHeight : 0, canvas.bottom - canvas.top);
    }
}

// The record the file commands share (what the dialogs themselves show is checked with the
// commands): owned by MainFrame, 255-byte names, no flags, and the two filters byte for byte.
TEST_F(MainFrameTest, FileDialogRecordIsPreparedAtCreation) {
    HWND main = Start();
    EXPECT_EQ(main, g_fileDialog.hwndOwner);
    EXPECT_EQ(255u, g_fileDialog.nMaxFile);
    EXPECT_EQ(255u, g_fileDialog.nMaxFileTitle);
    EXPECT_EQ(0u, g_fileDialog.Flags);
    static const char kFilter[] =
        "\x83\x72\x83\x62\x83\x67\x83\x7d\x83\x62\x83\x76(*.bmp)\0*.bmp\0"
        "\x82\xb7\x82\xd7\x82\xc4\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b(*.*)\0*.*\0";
    ASSERT_NE(nullptr, g_fileDialog.lpstrFilter);
    // Both pairs and the closing double zero.
    EXPECT_EQ(0, std::memcmp(kFilter, g_fileDialog.lpstrFilter, sizeof(kFilter)));
}

}  // namespace
