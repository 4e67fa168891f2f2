// Knobs on the in-process clipboard that builds without a system clipboard use, so tests can
// make the rare failures of the real one happen on purpose and see what was left behind.
#pragma once

#include <cstddef>

struct StandInFaults {
    bool heldElsewhere = false;  // opening fails as if another program held the clipboard
    bool allocFails = false;     // every movable allocation fails
    bool lockFails = false;      // every lock fails
    bool setFails = false;       // the clipboard refuses to take a block over
};

void StandInSetFaults(const StandInFaults& faults);
// Drops the clipboard's block and any faults, and closes the clipboard.
void StandInReset();
bool StandInIsOpen();
// Locks not yet released, over every movable block alive.
int StandInOutstandingLocks();
// Movable blocks allocated and not yet freed, the clipboard's own included.
size_t StandInLiveBlocks();
