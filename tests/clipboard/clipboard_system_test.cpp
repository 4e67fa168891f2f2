// The system clipboard seen from outside this program: other processes, the formats the system
// synthesises, and velmora-cli run as separate processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "tests/clipboard/dib_blocks.h"

namespace {

// Build paths arrive in the form of the machine that built the tests; under Wine that is a Unix
// path, which the Windows side reaches through drive Z:. Quoted for a command line.
std::string QuotedPath(const char* path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') {
        p = "Z:" + p;
    }
    for (char& c : p) {
        if (c == '/') {
            c = '\\';
        }
    }
    return "\"" + p + "\"";
}

// Runs the command line to its end; its exit code, or -1 when it could not be started or hung.
int RunProgram(const std::string& commandLine) {
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void PutOnClipboard(UINT format, HANDLE data) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const bool taken = SetClipboardData(format, data) != nullptr;
    CloseClipboard();
    ASSERT_TRUE(taken) << "format " << format;
}

void ClearClipboard() {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

TEST(SystemClipboard, CopyReplacesEverythingWithTheBitmapFormat) {
    const char text[] = "earlier";
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    ASSERT_NE(h, nullptr);
    std::memcpy(GlobalLock(h), text, sizeof text);
    GlobalUnlock(h);
    PutOnClipboard(CF_TEXT, h);
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_TEXT));

    ScopedImage s;
    PrepareTarget(s.image);
    bool published = false;
    CopyToClipboard(s.image, &published);
    EXPECT_TRUE(published);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST(SystemClipboard, PastesThirtyTwoBitBlockPlacedByAnotherProcess) {
    ClearClipboard();
    const std::string helper = QuotedPath(VELMORA_PLACE_DIB_EXE);
    ASSERT_EQ(RunProgram(helper + " 3 2"), 0) << helper;
    ScopedImage s;
    PrepareTarget(s.image);
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 3, 2, Fourth::kPattern));  // fourth bytes included
}

// The system offers a bitmap placed as a device-dependent bitmap in the block format too; from
// a screen-compatible bitmap that block is 32-bit with colour masks after a 40-byte header.
TEST(SystemClipboard, PastesScreenBitmapThroughTheSynthesisedBlock) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            SetPixel(dc, x, y, RGB(rgb[0], rgb[1], rgb[2]));
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    PutOnClipboard(CF_BITMAP, bitmap);  // the clipboard owns it now

    ScopedImage s;
    PrepareTarget(s.image);
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 3, 2, Fourth::kAny));
}

TEST(SystemClipboard, CliCopyAndPasteInSeparateProcesses) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp");
    const std::string out = dir.Path("out.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(5, 3)));
    const std::string cli = QuotedPath(VELMORA_CLI_EXE);

    ClearClipboard();
    EXPECT_EQ(RunProgram(cli + " paste " + QuotedPath(out.c_str())), 1);
    EXPECT_FALSE(FileExists(out));

    ASSERT_EQ(RunProgram(cli + " copy " + QuotedPath(in.c_str())), 0);
    ASSERT_EQ(RunProgram(cli + " paste " + QuotedPath(out.c_str())), 0);
    ScopedImage pasted;
    ASSERT_TRUE(LoadBmp(pasted.image, out.c_str()));
    EXPECT_TRUE(HoldsPattern(pasted.image, 5, 3, Fourth::kZero));
}

}  // namespace
