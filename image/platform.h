// The seam between the image core and the operating system for memory and files. Each side lives
// in image/platform/, one file per service: memory_win32.cpp and files_win32.cpp use the process
// heap and the Win32 file calls, memory_posix.cpp and files_posix.cpp the C library and POSIX, and
// files_portable.cpp builds the whole-file save from either side's steps. The clipboard has a seam
// of its own (platform_clipboard.h). Apart from the files behind these two, nothing in image/
// includes a system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/system_reason.h"

// Zero-filled block, or null when the system refuses. Large blocks get whatever the platform
// offers for passes over many megabytes (huge pages natively).
void* PlatformAllocZeroed(size_t size);
void PlatformFree(void* block);

// Says that the first length bytes of a block from PlatformAllocZeroed will not be read again,
// so that the system may take back the memory under them at once; what they read afterwards is
// arbitrary. Platforms without the means ignore it.
void PlatformDiscard(void* block, size_t length);

// Where the file name begins in a path: after the last separator, and on Windows after a drive's
// colon too. Windows paths are in the ANSI code page, where the second byte of a double-byte
// character may be 0x5C, the backslash, so they are stepped a whole character at a time.
size_t PlatformNameStart(const std::string& path);

// The path's folder with its separator, or nothing for a bare name.
inline std::string FolderOf(const std::string& path) {
    return path.substr(0, PlatformNameStart(path));
}

// What a folder and a name are joined with in a path the user will read back.
extern const char kPlatformSeparator;

// A key that is equal for two paths naming one file: the full path on Windows, where names are
// compared without regard to case, the resolved path elsewhere. A path that cannot be resolved,
// as one naming no file yet, is its own key.
std::string PlatformFileKey(const std::string& path);

enum class PathKind { kMissing, kFolder, kOther };
PathKind PlatformPathKind(const char* path);

enum class FileError {
    kNone,
    kCannotOpen,   // missing, no access, or held open by another program
    kTooLarge,     // longer than the core accepts, or no memory for the buffer
    kCannotWrite,  // folder missing or read-only, target locked, disk full
};

struct FileFailure {
    FileError error = FileError::kNone;
    SystemReason reason = SystemReason::kNone;
};

// Makes *block, from PlatformAllocZeroed or null, hold at least size bytes: kept while it does,
// otherwise freed and replaced by a new zero-filled one of that size (*capacity follows). False,
// with the block null, when the system refuses.
inline bool PlatformReserve(uint8_t** block, size_t* capacity, size_t size) {
    if (*block != nullptr && *capacity >= size) {
        return true;
    }
    PlatformFree(*block);
    *block = static_cast<uint8_t*>(PlatformAllocZeroed(size));
    *capacity = *block == nullptr ? 0 : size;
    return *block != nullptr;
}

// Writes the bytes to a new file beside the target and only then puts it in the target's place,
// so a failure at any point leaves any earlier file at that path exactly as it was: one staged
// save, as below. The block, from PlatformAllocZeroed, is spent by the write, as by
// PlatformDiscard: afterwards it is only to be freed.
bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileFailure* failure);

// A file read piece by piece: a regular file only, so that its length is known before anything
// is read. Reads may go to any position, and stop short only at the file's end.
struct InputFile {
    intptr_t handle = -1;  // a descriptor, or a HANDLE on Windows
    uint64_t length = 0;   // when opened; a file that shrinks afterwards shows in short reads
};
// alone: no other program may have the file open meanwhile, nor open it (Windows; elsewhere
// the system has no such lock and alone changes nothing).
bool PlatformOpenInput(const char* path, InputFile* file, FileFailure* failure, bool alone = false);
// Reads up to length bytes from position at; *got is length unless the file ends first.
bool PlatformReadAt(const InputFile& file, uint64_t at, uint8_t* data, size_t length, size_t* got,
                    FileFailure* failure);
void PlatformCloseInput(InputFile* file);

// Saves in steps: a new file is begun in the target's folder, written piece by piece, and only
// committed into the target's place when whole, so that one wait for the disk can serve a whole
// group of them. Until then it has no name where the system allows (O_TMPFILE on Linux), so a
// process that dies meanwhile leaves nothing behind; elsewhere it has a short temporary name.
// Committing a group makes every staged file that replaces one reach the disk, in one flush where
// the system has the means, and then moves each into its target's place. Each target is, at every
// moment, either its old file or the new one, whole.
// A path that is a symbolic link to a file is written through: the file at the end of its links
// is the target, so the links stay. Following them refuses what a plain open would: another
// user's link in a sticky, world-writable folder (kForeignLink).
struct StagedFile {
    std::string target;      // the file replaced: for a link, the file it leads to
    std::string named;       // the path as the caller gave it, which its messages name
    std::string temp;        // empty while the file has no name
    intptr_t handle = -1;    // the open new file: a descriptor, or a HANDLE on Windows
    bool replacing = false;  // a file was at the target, so the new one must be on the disk first
    uint64_t written = 0;
};
bool PlatformBeginStaged(const char* path, StagedFile* staged, FileFailure* failure);
// Appends to the new file; on failure the caller abandons it.
bool PlatformWriteStaged(StagedFile* staged, const uint8_t* data, size_t length,
                         FileFailure* failure);
// Closes and removes the new file; the target stays as it was.
void PlatformAbandonStaged(StagedFile* staged);
// failures[i] is kNone when files[i] is now in its target's place; one that is not has had its
// new file removed and left its target as it was.
void PlatformCommitStaged(StagedFile* files, size_t count, FileFailure* failures);
