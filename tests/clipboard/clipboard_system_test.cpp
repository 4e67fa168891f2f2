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
// path, which the Windows side reaches through drive Z:.
std::string WindowsPath(const char* path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') {
        p = "Z:" + p;
    }
    for (char& c : p) {
        if (c == '/') {
            c = '\\';
        }
    }
    return p;
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

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
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

void Prepare(PixelImage& image) {
    ASSERT_TRUE(image.Create(4, 4));
    FillPattern(image);
}

::testing::AssertionResult HoldsColours(const PixelImage& image, int32_t width, int32_t height) {
    if (image.GetWidth() != width || image.GetHeight() != height) {
        return ::testing::AssertionFailure()
               << "size " << image.GetWidth() << "x" << image.GetHeight();
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            if (image.GetRed(x, y) != rgb[0] || image.GetGreen(x, y) != rgb[1] ||
                image.GetBlue(x, y) != rgb[2]) {
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
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
    Prepare(s.image);
    bool published = false;
    CopyToClipboard(s.image, &published);
    EXPECT_TRUE(published);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST(SystemClipboard, PastesThirtyTwoBitBlockPlacedByAnotherProcess) {
    ClearClipboard();
    const std::string helper = WindowsPath(VELMORA_PLACE_DIB_EXE);
    ASSERT_EQ(RunProgram(Quoted(helper) + " 3 2"), 0) << helper;
    ScopedImage s;
    Prepare(s.image);
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 3, 2, true));  // fourth bytes included
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

    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE dib = GetClipboardData(CF_DIB);
    const auto* header =
        dib == nullptr ? nullptr : static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    if (header != nullptr) {
        RecordProperty("synthesised", std::to_string(header->biSize) + " bytes, " +
                                          std::to_string(header->biBitCount) + " bits, " +
                                          "compression " + std::to_string(header->biCompression));
        GlobalUnlock(dib);
    }
    CloseClipboard();
    ASSERT_NE(header, nullptr) << "no block synthesised";

    ScopedImage s;
    Prepare(s.image);
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsColours(s.image, 3, 2));
}

TEST(SystemClipboard, PastesTwentyFourBitSectionPlacedAsBitmap) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 5;
    info.bmiHeader.biHeight = 3;  // bottom row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    const Bytes rows = MakeDib({5, 3, 24});
    std::memcpy(bits, rows.data() + 40, rows.size() - 40);
    GdiFlush();
    PutOnClipboard(CF_BITMAP, section);

    ScopedImage s;
    Prepare(s.image);
    ASSERT_TRUE(PasteFromClipboard(s.image));
    EXPECT_TRUE(HoldsPattern(s.image, 5, 3, false));
}

TEST(SystemClipboard, CliCopyAndPasteInSeparateProcesses) {
    ScratchDir dir;
    const std::string in = dir.Path("in.bmp");
    const std::string out = dir.Path("out.bmp");
    ASSERT_TRUE(WriteFileBytes(in, MakeBmp(5, 3)));
    const std::string cli = Quoted(WindowsPath(VELMORA_CLI_EXE));

    ClearClipboard();
    EXPECT_EQ(RunProgram(cli + " paste " + Quoted(out)), 1);
    EXPECT_FALSE(FileExists(out));

    ASSERT_EQ(RunProgram(cli + " copy " + Quoted(in)), 0);
    ASSERT_EQ(RunProgram(cli + " paste " + Quoted(out)), 0);
    ScopedImage original;
    ScopedImage pasted;
    ASSERT_TRUE(LoadBmp(original.image, in.c_str()));
    ASSERT_TRUE(LoadBmp(pasted.image, out.c_str()));
    EXPECT_TRUE(HoldsColours(pasted.image, 5, 3));
    EXPECT_EQ(ImageBytes(pasted.image), ImageBytes(original.image));
}

}  // namespace
