// The clipboard seam where there is no system clipboard: one block held inside this process. It
// keeps the contract the core relies on (open/close, one block taken over on set, locks paired
// with unlocks) and counts what it hands out so tests can see leaks and stray locks.
#include <cstdlib>

#include "image/platform_clipboard.h"
#include "image/platform_clipboard_standin.h"

namespace {

struct MovableBlock {
    size_t size;
    int locks;
    uint8_t* bytes;
};

StandInFaults g_faults;
bool g_open = false;
MovableBlock* g_dib = nullptr;  // the clipboard's block, owned by the clipboard
size_t g_liveBlocks = 0;
int g_outstandingLocks = 0;

MovableBlock* AsBlock(ClipboardBlock block) {
    return static_cast<MovableBlock*>(block);
}

}  // namespace

bool PlatformOpenClipboard() {
    if (g_faults.heldElsewhere || g_open) {
        return false;
    }
    g_open = true;
    return true;
}

void PlatformCloseClipboard() {
    g_open = false;
}

bool PlatformEmptyClipboard() {
    if (!g_open) {
        return false;
    }
    PlatformFreeMovable(g_dib);
    g_dib = nullptr;
    return true;
}

ClipboardBlock PlatformGetClipboardDib() {
    return g_open ? g_dib : nullptr;
}

bool PlatformSetClipboardDib(ClipboardBlock block) {
    if (!g_open || g_faults.setFails || block == nullptr) {
        return false;
    }
    if (g_dib != AsBlock(block)) {
        PlatformFreeMovable(g_dib);
    }
    g_dib = AsBlock(block);
    return true;
}

ClipboardBlock PlatformAllocMovable(size_t size) {
    if (g_faults.allocFails) {
        return nullptr;
    }
    auto* block = static_cast<MovableBlock*>(std::calloc(1, sizeof(MovableBlock)));
    if (block == nullptr) {
        return nullptr;
    }
    block->bytes = static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1));
    if (block->bytes == nullptr) {
        std::free(block);
        return nullptr;
    }
    block->size = size;
    ++g_liveBlocks;
    return block;
}

void PlatformFreeMovable(ClipboardBlock block) {
    MovableBlock* b = AsBlock(block);
    if (b == nullptr) {
        return;
    }
    g_outstandingLocks -= b->locks;
    std::free(b->bytes);
    std::free(b);
    --g_liveBlocks;
}

size_t PlatformMovableSize(ClipboardBlock block) {
    return block == nullptr ? 0 : AsBlock(block)->size;
}

uint8_t* PlatformLockMovable(ClipboardBlock block) {
    if (block == nullptr || g_faults.lockFails) {
        return nullptr;
    }
    ++AsBlock(block)->locks;
    ++g_outstandingLocks;
    return AsBlock(block)->bytes;
}

void PlatformUnlockMovable(ClipboardBlock block) {
    MovableBlock* b = AsBlock(block);
    if (b != nullptr && b->locks > 0) {
        --b->locks;
        --g_outstandingLocks;
    }
}

void StandInSetFaults(const StandInFaults& faults) {
    g_faults = faults;
}

void StandInReset() {
    g_faults = StandInFaults();
    g_open = true;
    PlatformEmptyClipboard();
    g_open = false;
}

bool StandInIsOpen() {
    return g_open;
}

int StandInOutstandingLocks() {
    return g_outstandingLocks;
}

size_t StandInLiveBlocks() {
    return g_liveBlocks;
}
