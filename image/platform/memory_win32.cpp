// Memory on Windows: the process heap.
#include <windows.h>

#include "image/platform.h"

void* PlatformAllocZeroed(size_t size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size == 0 ? 1 : size);
}

void PlatformFree(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}

// The process heap has no way to take back part of a block; the memory returns with the block.
void PlatformDiscard(void*, size_t) {}
