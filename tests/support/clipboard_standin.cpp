// Keeps the contract the core relies on (open and close, one block taken over on set, locks
// paired with unlocks), so that what the core does wrong shows in the counts.
#include "tests/support/clipboard_standin.h"

#include <vector>

#include "image/platform_clipboard.h"

StandInClipboard g_standIn;

namespace {
using MovableBlock = std::vector<uint8_t>;
MovableBlock* g_dib = nullptr;  // the clipboard's block, owned by the clipboard
}  // namespace

bool PlatformOpenClipboard() {
    if (g_standIn.faults.heldElsewhere || g_standIn.open)
        return false;
    g_standIn.open = true;
    return true;
}

void PlatformCloseClipboard() {
    g_standIn.open = false;
}

bool PlatformEmptyClipboard() {
    if (!g_standIn.open)
        return false;
    PlatformFreeMovable(g_dib);
    g_dib = nullptr;
    return true;
}

ClipboardBlock PlatformGetClipboardDib() {
    return g_standIn.open ? g_dib : nullptr;
}

bool PlatformSetClipboardDib(ClipboardBlock block) {
    if (!g_standIn.open || g_standIn.faults.setFails || block == nullptr)
        return false;
    if (g_dib != block)
        PlatformFreeMovable(g_dib);
    g_dib = static_cast<MovableBlock*>(block);
    return true;
}

ClipboardBlock PlatformAllocMovable(size_t size) {
    if (g_standIn.faults.allocFails)
        return nullptr;
    ++g_standIn.liveBlocks;
    return new MovableBlock(size);
}

void PlatformFreeMovable(ClipboardBlock block) {
    g_standIn.liveBlocks -= block != nullptr;
    delete static_cast<MovableBlock*>(block);
}

size_t PlatformMovableSize(ClipboardBlock block) {
    return block == nullptr ? 0 : static_cast<MovableBlock*>(block)->size();
}

// Unlocks are counted whatever the block, so that an unpaired unlock shows as well as a lock left.
uint8_t* PlatformLockMovable(ClipboardBlock block) {
    if (block == nullptr || g_standIn.faults.lockFails)
        return nullptr;
    ++g_standIn.outstandingLocks;
    return static_cast<MovableBlock*>(block)->data();
}

void PlatformUnlockMovable(ClipboardBlock) {
    --g_standIn.outstandingLocks;
}

void StandInReset() {
    g_standIn.faults = {};
    g_standIn.open = false;
    PlatformFreeMovable(g_dib);
    g_dib = nullptr;
}
