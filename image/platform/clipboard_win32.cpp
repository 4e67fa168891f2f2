// The clipboard seam on Windows: the system clipboard and movable global memory.
#include "image/platform_clipboard.h"

#include <windows.h>

// No owner window: the image core has none, and the data must outlive any window anyway.
bool PlatformOpenClipboard() {
    return OpenClipboard(nullptr) != 0;
}

void PlatformCloseClipboard() {
    CloseClipboard();
}

bool PlatformEmptyClipboard() {
    return EmptyClipboard() != 0;
}

ClipboardBlock PlatformGetClipboardDib() {
    return GetClipboardData(CF_DIB);
}

bool PlatformSetClipboardDib(ClipboardBlock block) {
    return SetClipboardData(CF_DIB, static_cast<HGLOBAL>(block)) != nullptr;
}

ClipboardBlock PlatformAllocMovable(size_t size) {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

void PlatformFreeMovable(ClipboardBlock block) {
    if (block != nullptr) {
        GlobalFree(static_cast<HGLOBAL>(block));
    }
}

size_t PlatformMovableSize(ClipboardBlock block) {
    return GlobalSize(static_cast<HGLOBAL>(block));
}

uint8_t* PlatformLockMovable(ClipboardBlock block) {
    return static_cast<uint8_t*>(GlobalLock(static_cast<HGLOBAL>(block)));
}

void PlatformUnlockMovable(ClipboardBlock block) {
    GlobalUnlock(static_cast<HGLOBAL>(block));
}
