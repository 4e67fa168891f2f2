// Stands in for another program: puts a 32-bit bitmap block of the tests' pattern on the
// clipboard from a process of its own, then exits. Usage: clipboard_place_dib WIDTH HEIGHT.
// Exit codes: 0 placed, 2 bad arguments, 3 no memory, 4 clipboard busy, 5 block not taken.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "tests/clipboard/dib_blocks.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    const int32_t width = std::atoi(argv[1]);
    const int32_t height = std::atoi(argv[2]);
    if (width < 1 || height < 1) {
        return 2;
    }
    const Bytes dib = MakeDib({width, height, 32});
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    void* bytes = block == nullptr ? nullptr : GlobalLock(block);
    if (bytes == nullptr) {
        return 3;
    }
    std::memcpy(bytes, dib.data(), dib.size());
    GlobalUnlock(block);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return 4;
    }
    EmptyClipboard();
    const bool taken = SetClipboardData(CF_DIB, block) != nullptr;
    CloseClipboard();
    if (!taken) {
        GlobalFree(block);
        return 5;
    }
    return 0;
}
