// The clipboard for tests off Windows: one block held inside this process, whose rare failures
// can be made to happen on purpose and which tells what was left behind.
#pragma once

#include <cstddef>

struct StandInClipboard {
    struct Faults {
        bool heldElsewhere = false;  // opening fails as if another program held the clipboard
        bool allocFails = false;     // every movable allocation fails
        bool lockFails = false;      // every lock fails
        bool setFails = false;       // the clipboard refuses to take a block over
    } faults;
    bool open = false;
    size_t liveBlocks = 0;     // movable blocks not yet freed, the clipboard's own included
    int outstandingLocks = 0;  // locks taken less unlocks, over every block
};
extern StandInClipboard g_standIn;

// Drops the clipboard's block and any faults, and closes the clipboard.
void StandInReset();
