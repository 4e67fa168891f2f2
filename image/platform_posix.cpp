// The platform seam on systems without Win32: the C library and POSIX.
#include "image/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

void* PlatformAllocZeroed(size_t size) { return std::calloc(size == 0 ? 1 : size, 1); }

void PlatformFree(void* block) { std::free(block); }

namespace {

bool SetError(FileError* error, FileError why) {
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool PlatformReadWholeFile(const char* path, size_t maxLength, uint8_t** data, size_t* length,
                           FileError* error) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return SetError(error, FileError::kCannotOpen);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return SetError(error, FileError::kCannotOpen);
    }
    const size_t size = static_cast<size_t>(st.st_size);
    if (static_cast<uint64_t>(st.st_size) > maxLength) {
        close(fd);
        return SetError(error, FileError::kTooLarge);
    }
    auto* buffer = static_cast<uint8_t*>(PlatformAllocZeroed(size));
    if (buffer == nullptr) {
        close(fd);
        return SetError(error, FileError::kTooLarge);
    }
    // The file may shrink while it is read; what counts is the bytes that actually arrived.
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            close(fd);
            PlatformFree(buffer);
            return SetError(error, FileError::kReadFailed);
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

bool PlatformWriteWholeFile(const char* path, const uint8_t* data, size_t length,
                            FileError* error) {
    struct stat old;
    const bool exists = stat(path, &old) == 0;
    // Creating over a file the user may not write must fail as a truncating create would.
    if (exists && access(path, W_OK) != 0) {
        return SetError(error, FileError::kCannotWrite);
    }
    std::string temp = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        return SetError(error, FileError::kCannotWrite);
    }
    mode_t mode;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, data, length) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temp.c_str(), path) != 0) {
        unlink(temp.c_str());
        return SetError(error, FileError::kCannotWrite);
    }
    return true;
}
