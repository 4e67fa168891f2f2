// The one seam between the image core and the operating system. Windows builds implement it
// with the process heap and the Win32 file calls (platform_win32.cpp); every other build uses
// the C library and POSIX (platform_memory_posix.cpp and platform_posix.cpp). Nothing else in
// image/ includes a system header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/system_reason.h"

// Zero-filled block, or null when the system refuses. Large blocks get whatever advice the
// platform has for streaming access (huge pages natively).
void* PlatformAllocZeroed(size_t size);
void PlatformFree(void* block);

// Says that the first length bytes of a block from PlatformAllocZeroed will not be read again,
// so that the system may take back the memory under them at once; what they read afterwards is
// unspecified. Platforms without the means ignore it.
void PlatformDiscard(void* block, size_t length);

enum class FileError {
    kNone,
    kCannotOpen,  // missing, no access, or held open by another program
    kTooLarge,    // longer than the core accepts, or no memory for the buffer
    kReadFailed,
    kCannotWrite,  // folder missing or read-only, target locked, disk full
};

struct FileFailure {
    FileError error = FileError::kNone;
    SystemReason reason = SystemReason::kNone;
};

// Reads the whole file into one block from PlatformAllocZeroed. On success *data holds
// *length bytes (the bytes actually read) and the caller frees it with PlatformFree.
// Files longer than maxLength are refused with kTooLarge before anything is allocated.
bool PlatformReadWholeFile(const char* path, size_t maxLength, uint8_t** data, size_t* length,
                           FileFailure* failure);

// Writes the bytes to a new file beside the target and only then puts it in the target's place,
// so a failure at any point leaves any earlier file at that path exactly as it was. The new file
// has a short name of its own, so any path that could be written directly can be saved. The block,
// from PlatformAllocZeroed, is spent by the write, as by PlatformDiscard: afterwards it is only
// to be freed.
bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileFailure* failure);
