// The clipboard off Windows, whose rare failures a test can make happen.
#pragma once

#include <cstddef>

struct StandInClipboard {
    // What fails on purpose: the opening (held by another program), every lock, or the taking over.
    enum Fault { kNone, kHeldElsewhere, kLockFails, kSetFails } fault = kNone;
    bool open = false;
    void* block = nullptr;     // the clipboard's own
    size_t liveBlocks = 0;     // movable blocks not yet freed, the clipboard's own included
    int outstandingLocks = 0;  // locks taken less unlocks, over every block
};
extern StandInClipboard g_standIn;
void StandInReset();  // closed, empty, without faults
