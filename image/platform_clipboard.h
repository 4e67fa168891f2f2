// The clipboard as the image core sees it: one bitmap block in the clipboard's device-independent
// format, reached through open/close and movable memory that must be locked to be read or written.
// Windows builds put the real clipboard behind it (image/platform/clipboard_win32.cpp). Elsewhere
// the programs never reach it, and the tests link an in-process stand-in with the same contract
// (tests/support/clipboard_standin.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

// A movable memory block, as the clipboard hands it out and takes it over. Null means none.
using ClipboardBlock = void*;

// True when this process now holds the clipboard open; false when someone else does.
bool PlatformOpenClipboard();
void PlatformCloseClipboard();
// Drops everything on the clipboard. Only meaningful while it is open.
bool PlatformEmptyClipboard();
// The clipboard's bitmap block, or null when there is none; it stays the clipboard's.
ClipboardBlock PlatformGetClipboardDib();
// Hands the block to the clipboard as its bitmap. True when the clipboard took it over; on
// false the block is still the caller's to free.
bool PlatformSetClipboardDib(ClipboardBlock block);

// A zero-filled movable block of the given size, or null.
ClipboardBlock PlatformAllocMovable(size_t size);
void PlatformFreeMovable(ClipboardBlock block);
// The block's size in bytes, which may exceed what was asked for; 0 when it cannot be told.
size_t PlatformMovableSize(ClipboardBlock block);
// The block's address while locked, or null when it cannot be locked. Every successful lock is
// paired with one unlock.
uint8_t* PlatformLockMovable(ClipboardBlock block);
void PlatformUnlockMovable(ClipboardBlock block);
