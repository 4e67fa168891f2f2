// Keeps the contract the core relies on, so that what the core does wrong shows in the counts.
#include "tests/support/clipboard_standin.h"

#include <vector>

#include "image/platform_clipboard.h"

StandInClipboard g_standIn;

using MovableBlock = std::vector<uint8_t>;

bool PlatformOpenClipboard() {
    if (g_standIn.fault == StandInClipboard::kHeldElsewhere || g_standIn.open)
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
    PlatformFreeMovable(g_standIn.block);
    g_standIn.block = nullptr;
    return true;
}

ClipboardBlock PlatformGetClipboardDib() {
    return g_standIn.open ? g_standIn.block : nullptr;
}

bool PlatformSetClipboardDib(ClipboardBlock block) {
    if (!g_standIn.open || g_standIn.fault == StandInClipboard::kSetFails || block == nullptr)
        return false;
    PlatformFreeMovable(g_standIn.block);
    g_standIn.block = block;
    return true;
}

ClipboardBlock PlatformAllocMovable(size_t size) {
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
    if (block == nullptr || g_standIn.fault == StandInClipboard::kLockFails)
        return nullptr;
    ++g_standIn.outstandingLocks;
    return static_cast<MovableBlock*>(block)->data();
}

void PlatformUnlockMovable(ClipboardBlock) {
    --g_standIn.outstandingLocks;
}

void StandInReset() {
    PlatformFreeMovable(g_standIn.block);
    g_standIn = {};
}
