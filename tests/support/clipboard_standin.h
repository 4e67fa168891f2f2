// The clipboard off Windows, whose rare failures a test can make happen.
#pragma once

#include <cstddef>

struct StandInClipboard {
    bool heldElsewhere = false;  // opening fails as if another program held the clipboard
    bool lockFails = false;      // every lock fails
    bool setFails = false;       // the clipboard refuses to take a block over
    bool open = false;
    void* block = nullptr;     // the clipboard's own
    size_t liveBlocks = 0;     // movable blocks not yet freed, the clipboard's own included
    int outstandingLocks = 0;  // locks taken less unlocks, over every block
};
extern StandInClipboard g_standIn;

// Frees the clipboard's block and starts over: closed, without faults.
void StandInReset();
