// The file half of the platform seam on systems without Win32: POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "image/platform.h"
#include "image/tell.h"

namespace {

// A missing name is a missing folder when creating, since the file itself is not meant to exist.
SystemReason ReasonOf(int code, bool creating) {
    switch (code) {
        case ENOENT:
            return creating ? SystemReason::kNoFolder : SystemReason::kNoFile;
        case ENOTDIR:
            return SystemReason::kNoFolder;
        case EACCES:
        case EPERM:
        case EROFS:
            return SystemReason::kDenied;
        case EBUSY:
        case ETXTBSY:
            return SystemReason::kInUse;
        case ENOSPC:
        case EDQUOT:
            return SystemReason::kDiskFull;
        default:
            return SystemReason::kNone;
    }
}

bool Refuse(FileFailure* failure, FileError error, int code = 0, bool creating = false) {
    return Tell(failure, FileFailure{error, ReasonOf(code, creating)});
}

// The file goes out in slices. Each slice's bytes are given back as soon as it is in the page
// cache, so the cache can take those pages for the next slices rather than fresh ones. When an
// fsync is to follow, each slice is also handed to the disk at once, so that the disk works while
// the next one is copied and the fsync waits for the last slice only; without an fsync that head
// start would only slow the write.
constexpr size_t kWriteSlice = size_t{8} << 20;

bool WriteAll(int fd, const uint8_t* data, size_t length, bool flushing, uint8_t* spent) {
    size_t done = 0;
    while (done < length) {
        const size_t chunk = length - done > kWriteSlice ? kWriteSlice : length - done;
        const ssize_t n = write(fd, data + done, chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
#ifdef SYNC_FILE_RANGE_WRITE
        if (flushing) {
            sync_file_range(fd, static_cast<off_t>(done), n, SYNC_FILE_RANGE_WRITE);  // head start
        }
#endif
        done += static_cast<size_t>(n);
        PlatformDiscard(spent, done);
    }
    return true;
}

// A name of a few characters in the target's folder: the target's own name may already be as
// long as the system allows, so nothing may be added to it.
std::string TempTemplate(const std::string& path) {
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".vmXXXXXX";
}

// The mode a new file gets. umask can only be read by setting it, and a batch saves from
// several threads, so it is read once, before any of them can race to set and restore it.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}

// Writes a new file beside the target; spent, when given, is the block to give back as it goes.
bool Stage(const char* path, const uint8_t* data, size_t length, uint8_t* spent, StagedFile* staged,
           FileFailure* failure) {
    struct stat old;
    const bool exists = stat(path, &old) == 0;
    // Creating over a file the user may not write must fail as a truncating create would.
    if (exists && access(path, W_OK) != 0) {
        return Refuse(failure, FileError::kCannotWrite, errno, true);
    }
    // mkstemp tries further names itself when one is taken.
    std::string temp = TempTemplate(path);
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        return Refuse(failure, FileError::kCannotWrite, errno, true);
    }
    const mode_t mode = exists ? old.st_mode & 07777 : 0666 & ~ProcessUmask();
    if (fchmod(fd, mode) != 0 || !WriteAll(fd, data, length, exists, spent)) {
        const int code = errno;
        close(fd);
        unlink(temp.c_str());
        return Refuse(failure, FileError::kCannotWrite, code, true);
    }
    *staged = StagedFile{path, std::move(temp), fd, exists};
    return true;
}

}  // namespace

bool PlatformReadWholeFile(const char* path, size_t maxLength, uint8_t** block, size_t* capacity,
                           size_t* length, FileFailure* failure) {
    // Non-blocking, so a named pipe is refused below instead of waiting for a writer for ever.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Refuse(failure, FileError::kCannotOpen, errno);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Refuse(failure, FileError::kCannotOpen);
    }
    const size_t size = static_cast<size_t>(st.st_size);
    if (static_cast<uint64_t>(st.st_size) > maxLength) {
        close(fd);
        return Refuse(failure, FileError::kTooLarge);
    }
    if (*block == nullptr || size > *capacity) {
        PlatformFree(*block);
        *block = static_cast<uint8_t*>(PlatformAllocZeroed(size));
        *capacity = *block == nullptr ? 0 : size;
    }
    uint8_t* buffer = *block;
    if (buffer == nullptr) {
        close(fd);
        return Refuse(failure, FileError::kTooLarge);
    }
    // The file may shrink while it is read; what counts is the bytes that actually arrived.
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int code = errno;
            close(fd);
            return Refuse(failure, FileError::kReadFailed, code);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fd);
    *length = got;
    return true;
}

bool PlatformStageWholeFile(const char* path, const uint8_t* data, size_t length,
                            StagedFile* staged, FileFailure* failure) {
    return Stage(path, data, length, nullptr, staged, failure);
}

void PlatformCommitStaged(StagedFile* files, size_t count, FileFailure* failures) {
    // Replacing a file, the new one must be on the disk before the rename takes the old one
    // away, or a crash in between could leave neither. A new name puts nothing at risk, so it is
    // not made to wait for the disk. Several replacements on one file system share one flush.
    size_t replacing = 0;
    int anyFd = -1;
    bool oneDevice = true;
    dev_t device = 0;
    for (size_t i = 0; i < count; ++i) {
        struct stat st;
        if (!files[i].replacing) {
            continue;
        }
        const int fd = static_cast<int>(files[i].handle);
        if (fstat(fd, &st) != 0) {
            oneDevice = false;
        } else {
            oneDevice = oneDevice && (replacing == 0 || st.st_dev == device);
            device = st.st_dev;
        }
        anyFd = fd;
        ++replacing;
    }
#ifdef __linux__
    // One syncfs writes the whole group back at once, so the fsync of each file below finds
    // nothing left to wait for. That fsync stays: only it reports the file's own write-back
    // errors, which syncfs misses for writes begun before anyFd was opened (and before Linux 5.8
    // misses entirely).
    if (replacing > 1 && oneDevice) {
        syncfs(anyFd);
    }
#else
    (void)anyFd;
    (void)oneDevice;
#endif
    for (size_t i = 0; i < count; ++i) {
        StagedFile& f = files[i];
        const int fd = static_cast<int>(f.handle);
        f.handle = -1;
        bool ok = !f.replacing || fsync(fd) == 0;
        int code = ok ? 0 : errno;
        if (close(fd) != 0 && ok) {
            ok = false;
            code = errno;
        }
        if (ok && rename(f.temp.c_str(), f.target.c_str()) != 0) {
            ok = false;
            code = errno;
        }
        if (!ok) {
            unlink(f.temp.c_str());
            Refuse(&failures[i], FileError::kCannotWrite, code, true);
        } else {
            failures[i] = FileFailure();
        }
    }
}

bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileFailure* failure) {
    StagedFile staged;
    if (!Stage(path, data, length, data, &staged, failure)) {
        return false;
    }
    FileFailure committed;
    PlatformCommitStaged(&staged, 1, &committed);
    return Tell(failure, committed, committed.error == FileError::kNone);
}
