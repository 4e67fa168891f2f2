// Files on Windows: the Win32 file calls.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/answer.h"
#include "image/platform.h"
#include "image/platform/staging_name.h"

namespace {

SystemReason ReasonOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return SystemReason::kNoFile;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return SystemReason::kNoFolder;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return SystemReason::kDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return SystemReason::kInUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return SystemReason::kDiskFull;
        default:
            return SystemReason::kNone;
    }
}

bool Refuse(FileFailure* failure, FileError error, DWORD code = NO_ERROR) {
    return Answer(failure, FileFailure{error, ReasonOf(code)});
}

// ReadFile and WriteFile take a 32-bit length; a round 1 GiB a call stays well inside it.
constexpr DWORD kMaxCall = 0x40000000u;

bool WriteAll(HANDLE file, const uint8_t* data, size_t length) {
    while (length > 0) {
        const DWORD chunk = length > kMaxCall ? kMaxCall : static_cast<DWORD>(length);
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
// save just as creating over it directly would. The probe lets others read, so that the input
// of an in-place add, open here for reading, does not count as such a program. *exists tells
// whether there is a file to replace; on false, *code is the system's reason.
bool TargetIsWritable(const char* path, bool* exists, DWORD* code) {
    *exists = true;
    // Asked first because a Wine run as root opens a read-only file for writing all the same.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        *code = ERROR_ACCESS_DENIED;
        return false;
    }
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    *code = GetLastError();
    *exists = false;
    return *code == ERROR_FILE_NOT_FOUND || *code == ERROR_PATH_NOT_FOUND;
}

// A new file with a name of seven characters in the target's folder. The target's own name may
// already reach the path length limit, so nothing is added to it; a taken name moves on to the
// next number.
HANDLE CreateTempBeside(const char* path, std::string* temp) {
    const std::string folder = FolderOf(path);
    const unsigned start = StagingNameStart(GetCurrentProcessId());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "~vm%04x", (start + attempt) & 0xFFFFu);
        *temp = folder + name;
        HANDLE file = CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

size_t PlatformNameStart(const std::string& path) {
    size_t start = 0;
    for (const char* p = path.c_str(); *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            start = static_cast<size_t>(p - path.c_str()) + 1;
        }
    }
    return start;
}

bool PlatformOpenInput(const char* path, InputFile* file, FileFailure* failure, bool alone) {
    // Others may read and write meanwhile, as on other systems; the save's probe of its target
    // needs that when the target is this very file. A load keeps the file to itself instead, so
    // that a file held open by another program is refused, as it always was.
    const DWORD share = alone ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE h = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Refuse(failure, FileError::kCannotOpen, GetLastError());
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return Refuse(failure, FileError::kCannotOpen);
    }
    *file = InputFile{reinterpret_cast<intptr_t>(h), static_cast<uint64_t>(size.QuadPart)};
    return true;
}

bool PlatformReadAt(const InputFile& file, uint64_t at, uint8_t* data, size_t length, size_t* got,
                    FileFailure* failure) {
    size_t done = 0;
    while (done < length) {
        const size_t left = length - done;
        const DWORD chunk = left > kMaxCall ? kMaxCall : static_cast<DWORD>(left);
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at + done);
        where.OffsetHigh = static_cast<DWORD>((at + done) >> 32);
        DWORD n = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(file.handle), data + done, chunk, &n, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return Refuse(failure, FileError::kCannotOpen, GetLastError());
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    *got = done;
    return true;
}

void PlatformCloseInput(InputFile* file) {
    if (file->handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(file->handle));
    }
    *file = InputFile();
}

bool PlatformBeginStaged(const char* path, StagedFile* staged, FileFailure* failure) {
    bool replacing = false;
    DWORD code = NO_ERROR;
    if (!TargetIsWritable(path, &replacing, &code)) {
        return Refuse(failure, FileError::kCannotWrite, code);
    }
    // The new file is written in the target's folder, so the final move is a rename on one
    // volume and never a copy. Windows has no file without a name: a crash before the commit
    // leaves this one behind.
    std::string temp;
    HANDLE file = CreateTempBeside(path, &temp);
    if (file == INVALID_HANDLE_VALUE) {
        return Refuse(failure, FileError::kCannotWrite, GetLastError());
    }
    *staged = StagedFile{path, path, temp, reinterpret_cast<intptr_t>(file), replacing, 0};
    return true;
}

bool PlatformWriteStaged(StagedFile* staged, const uint8_t* data, size_t length,
                         FileFailure* failure) {
    if (!WriteAll(reinterpret_cast<HANDLE>(staged->handle), data, length)) {
        return Refuse(failure, FileError::kCannotWrite, GetLastError());
    }
    staged->written += length;
    return true;
}

void PlatformAbandonStaged(StagedFile* staged) {
    if (staged->handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(staged->handle));
        DeleteFileA(staged->temp.c_str());
    }
    staged->handle = -1;
}

void PlatformCommitStaged(StagedFile* files, size_t count, FileFailure* failures) {
    // Replacing a file, the new one must be on the disk before the move takes the old one away,
    // or a crash in between could leave neither. A new name puts nothing at risk, so it is not
    // made to wait for the disk. The flushes of a group run back to back, before any move.
    std::vector<DWORD> codes(count, NO_ERROR);
    for (size_t i = 0; i < count; ++i) {
        HANDLE file = reinterpret_cast<HANDLE>(files[i].handle);
        files[i].handle = -1;
        if (files[i].replacing && !FlushFileBuffers(file)) {
            codes[i] = GetLastError();
        }
        if (!CloseHandle(file) && codes[i] == NO_ERROR) {
            codes[i] = GetLastError();
        }
    }
    for (size_t i = 0; i < count; ++i) {
        const StagedFile& f = files[i];
        if (codes[i] == NO_ERROR &&
            !MoveFileExA(f.temp.c_str(), f.target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            codes[i] = GetLastError();
        }
        if (codes[i] != NO_ERROR) {
            DeleteFileA(f.temp.c_str());
            Refuse(&failures[i], FileError::kCannotWrite, codes[i]);
        } else {
            failures[i] = FileFailure();
        }
    }
}

const char kPlatformSeparator = '\\';

std::string PlatformFileKey(const std::string& path) {
    char full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string key = n > 0 && n < sizeof full ? std::string(full, n) : path;
    CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

PathKind PlatformPathKind(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::kMissing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kOther;
}
