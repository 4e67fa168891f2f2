// The platform seam on Windows: the process heap and the Win32 file calls.
#include "image/platform.h"

#include <windows.h>

#include <cstdio>
#include <string>

void* PlatformAllocZeroed(size_t size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size == 0 ? 1 : size);
}

void PlatformFree(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}

// The process heap has no way to take back part of a block; the memory returns with the block.
void PlatformDiscard(void*, size_t) {}

namespace {

bool SetError(FileError* error, FileError why) {
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

bool WriteAll(HANDLE file, const uint8_t* data, size_t length) {
    while (length > 0) {
        const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

// A file that another program holds open without sharing, or that is read-only, must fail the
// save just as creating over it directly would. *exists tells whether there is a file to replace.
bool TargetIsWritable(const char* path, bool* exists) {
    *exists = true;
    // Asked first because a Wine run as root opens a read-only file for writing all the same.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    const DWORD why = GetLastError();
    *exists = false;
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool PlatformReadWholeFile(const char* path, size_t maxLength, uint8_t** data, size_t* length,
                           FileError* error) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SetError(error, FileError::kCannotOpen);
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseHandle(file);
        return SetError(error, FileError::kCannotOpen);
    }
    const uint64_t size64 = (uint64_t{high} << 32) | low;
    if (size64 > maxLength) {
        CloseHandle(file);
        return SetError(error, FileError::kTooLarge);
    }
    const size_t size = static_cast<size_t>(size64);
    auto* buffer = static_cast<uint8_t*>(PlatformAllocZeroed(size));
    if (buffer == nullptr) {
        CloseHandle(file);
        return SetError(error, FileError::kTooLarge);
    }
    // What counts is the bytes that actually arrived; a short read is judged by the decoder.
    size_t got = 0;
    while (got < size) {
        const size_t left = size - got;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!ReadFile(file, buffer + got, chunk, &n, nullptr) || n == 0) {
            break;
        }
        got += n;
    }
    CloseHandle(file);
    *data = buffer;
    *length = got;
    return true;
}

bool PlatformStageWholeFile(const char* path, uint8_t* data, size_t length, StagedFile* staged,
                            FileError* error) {
    bool replacing = false;
    if (!TargetIsWritable(path, &replacing)) {
        return SetError(error, FileError::kCannotWrite);
    }
    // The new file is written beside the target, in the same folder, so the final move is a
    // rename on one volume and never a copy.
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".~%lu-%u.tmp", GetCurrentProcessId(), attempt);
        temp = std::string(path) + suffix;
        file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return SetError(error, FileError::kCannotWrite);
    }
    if (!WriteAll(file, data, length)) {
        CloseHandle(file);
        DeleteFileA(temp.c_str());
        return SetError(error, FileError::kCannotWrite);
    }
    *staged = StagedFile{path, temp, reinterpret_cast<intptr_t>(file), replacing};
    return true;
}

void PlatformCommitStaged(StagedFile* files, size_t count, bool* committed) {
    // Replacing a file, the new one must be on the disk before the move takes the old one away,
    // or a crash in between could leave neither. A new name puts nothing at risk, so it is not
    // made to wait for the disk. The flushes of a group run back to back, before any move.
    for (size_t i = 0; i < count; ++i) {
        HANDLE file = reinterpret_cast<HANDLE>(files[i].handle);
        const bool written = !files[i].replacing || FlushFileBuffers(file) != 0;
        committed[i] = CloseHandle(file) != 0 && written;
        files[i].handle = -1;
    }
    for (size_t i = 0; i < count; ++i) {
        const StagedFile& f = files[i];
        committed[i] =
            committed[i] && MoveFileExA(f.temp.c_str(), f.target.c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!committed[i]) {
            DeleteFileA(f.temp.c_str());
        }
    }
}

bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileError* error) {
    StagedFile staged;
    if (!PlatformStageWholeFile(path, data, length, &staged, error)) {
        return false;
    }
    bool committed = false;
    PlatformCommitStaged(&staged, 1, &committed);
    return committed || SetError(error, FileError::kCannotWrite);
}
