// The file half of the platform seam on systems without Win32: POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

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

bool WriteAll(int fd, uint8_t* block, size_t length, bool flushing) {
    size_t done = 0;
    while (done < length) {
        const size_t chunk = length - done > kWriteSlice ? kWriteSlice : length - done;
        const ssize_t n = write(fd, block + done, chunk);
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
        PlatformDiscard(block, done);
    }
    return true;
}

// A name of a few characters in the target's folder: the target's own name may already be as
// long as the system allows, so nothing may be added to it.
std::string TempTemplate(const std::string& path) {
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".vmXXXXXX";
}

}  // namespace

bool PlatformReadWholeFile(const char* path, size_t maxLength, uint8_t** data, size_t* length,
                           FileFailure* failure) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
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
    auto* buffer = static_cast<uint8_t*>(PlatformAllocZeroed(size));
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
            PlatformFree(buffer);
            return Refuse(failure, FileError::kReadFailed, code);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fd);
    *data = buffer;
    *length = got;
    return true;
}

bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileFailure* failure) {
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
    mode_t mode;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    // Replacing a file, the new one must be on the disk before the rename takes the old one
    // away, or a crash in between could leave neither. A new name puts nothing at risk, so it is
    // not made to wait for the disk.
    bool ok =
        fchmod(fd, mode) == 0 && WriteAll(fd, data, length, exists) && (!exists || fsync(fd) == 0);
    int code = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && rename(temp.c_str(), path) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return Refuse(failure, FileError::kCannotWrite, code, true);
    }
    return true;
}
