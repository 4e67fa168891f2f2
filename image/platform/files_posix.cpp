// Files on systems without Win32: the POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "image/answer.h"
#include "image/platform.h"
#include "image/platform/staging_name.h"

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
    return Answer(failure, FileFailure{error, ReasonOf(code, creating)});
}

// Linux moves just under 2 GiB at most in one read or write call, and some other systems no more
// than 2 GiB; a round 1 GiB a call stays inside every such limit.
constexpr size_t kMaxCall = size_t{1} << 30;

// Appends every byte; a write that makes no progress is a full disk.
bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length < kMaxCall ? length : kMaxCall);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// A name of a few characters in the folder: the target's own name may already be as long as the
// system allows, so nothing may be added to it.
std::string TempName(const std::string& folder, unsigned attempt) {
    const unsigned start = StagingNameStart(static_cast<unsigned>(getpid()));
    char name[16];
    std::snprintf(name, sizeof name, ".vm%06x", (start + attempt * 7919u) & 0xFFFFFFu);
    return folder + name;
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

// A new file with no name in the folder, or -1. It takes a name only at commit, through
// /proc/self/fd, so both must be there.
int OpenUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    static const bool procFd = access("/proc/self/fd", X_OK) == 0;
    if (procFd) {
        return open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    }
#else
    (void)folder;
#endif
    return -1;
}

// Names an unnamed file. A new target takes it at once; a file in the way can only be replaced
// by a rename, which needs a name to move, so the file is first linked under a temporary one.
// *placed tells which happened.
bool NameUnnamed(int fd, StagedFile& f, bool* placed) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (!f.replacing) {
        *placed = linkat(AT_FDCWD, self, AT_FDCWD, f.target.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (*placed || errno != EEXIST) {
            return *placed;
        }
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = TempName(FolderOf(f.target), attempt);
        if (linkat(AT_FDCWD, self, AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            f.temp = temp;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// The system follows no longer chain of links than this; a save replaces a longer one as a loop.
constexpr int kMaxLinks = 40;

// A plain open follows a link in a sticky, world-writable folder only for the link's owner, or
// when the folder's owner owns the link too, so that nobody can aim another user's save through
// /tmp at a file of their choosing. The links a save follows itself, those at the end of the
// path, keep the rule whether or not the system enforces it; links among the folders above are
// the system's to follow, as for any open.
bool MayFollow(const std::string& link, uid_t linkOwner) {
    const std::string folder = FolderOf(link);
    struct stat st;
    if (stat(folder.empty() ? "." : folder.c_str(), &st) != 0) {
        return false;
    }
    const mode_t shared = S_ISVTX | S_IWOTH;
    return (st.st_mode & shared) != shared || linkOwner == geteuid() || linkOwner == st.st_uid;
}

// Where a save to path lands: the file at the end of its links, so that they stay and the picture
// the user meant is the one replaced. A link that leads nowhere, goes round in a loop or leads to
// anything but a file (a folder, or a device that a rename would take away) is replaced as any
// name is.
bool ResolveTarget(const char* path, std::string* target, FileFailure* failure) {
    std::string at = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        if (!MayFollow(at, st.st_uid)) {
            return Answer(failure,
                          FileFailure{FileError::kCannotWrite, SystemReason::kForeignLink});
        }
        char to[PATH_MAX];
        const ssize_t n = readlink(at.c_str(), to, sizeof to);
        if (n <= 0 || static_cast<size_t>(n) == sizeof to) {
            break;
        }
        // A relative link is read from its own folder, not from where the save began.
        at =
            (to[0] == '/' ? std::string() : FolderOf(at)) + std::string(to, static_cast<size_t>(n));
    }
    struct stat end;
    *target = lstat(at.c_str(), &end) == 0 && S_ISREG(end.st_mode) ? at : std::string(path);
    return true;
}

}  // namespace

// Only the slash separates names here; a backslash is an ordinary character of a name.
size_t PlatformNameStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

bool PlatformOpenInput(const char* path, InputFile* file, FileFailure* failure, bool) {
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
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // advice only: a longer read-ahead
#endif
    *file = InputFile{fd, static_cast<uint64_t>(st.st_size)};
    return true;
}

bool PlatformReadAt(const InputFile& file, uint64_t at, uint8_t* data, size_t length, size_t* got,
                    FileFailure* failure) {
    size_t done = 0;
    while (done < length) {
        const size_t chunk = length - done < kMaxCall ? length - done : kMaxCall;
        const ssize_t n =
            pread(static_cast<int>(file.handle), data + done, chunk, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Refuse(failure, FileError::kCannotOpen, errno);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    *got = done;
    return true;
}

void PlatformCloseInput(InputFile* file) {
    if (file->handle >= 0) {
        close(static_cast<int>(file->handle));
    }
    *file = InputFile();
}

bool PlatformBeginStaged(const char* named, StagedFile* staged, FileFailure* failure) {
    std::string target;
    if (!ResolveTarget(named, &target, failure)) {
        return false;
    }
    const char* path = target.c_str();
    struct stat old;
    const bool exists = stat(path, &old) == 0;
    // Creating over a file the user may not write must fail as a truncating create would.
    if (exists && access(path, W_OK) != 0) {
        return Refuse(failure, FileError::kCannotWrite, errno, true);
    }
    // File systems without unnamed files refuse them in several ways (EOPNOTSUPP, EISDIR,
    // EINVAL); any refusal falls back to a named file, whose own failure then says why.
    std::string temp;
    int fd = OpenUnnamed(FolderOf(path));
    if (fd < 0) {
        temp = FolderOf(path) + ".vmXXXXXX";
        fd = mkostemp(&temp[0], O_CLOEXEC);  // tries further names itself when one is taken
    }
    if (fd < 0) {
        return Refuse(failure, FileError::kCannotWrite, errno, true);
    }
    *staged = StagedFile{target, named, std::move(temp), fd, exists, 0};
    const mode_t mode = exists ? old.st_mode & 07777 : 0666 & ~ProcessUmask();
    if (fchmod(fd, mode) != 0) {
        const int code = errno;
        PlatformAbandonStaged(staged);
        return Refuse(failure, FileError::kCannotWrite, code, true);
    }
    return true;
}

bool PlatformWriteStaged(StagedFile* staged, const uint8_t* data, size_t length,
                         FileFailure* failure) {
    const int fd = static_cast<int>(staged->handle);
    if (!WriteAll(fd, data, length)) {
        return Refuse(failure, FileError::kCannotWrite, errno, true);
    }
#ifdef SYNC_FILE_RANGE_WRITE
    // A replacement must be on the disk before its commit. Each piece is handed to the disk at
    // once, so that the disk works while the next one is made and the flush waits for the last
    // piece only; without a flush to follow, that head start would only slow the write.
    if (staged->replacing) {
        sync_file_range(fd, static_cast<off_t>(staged->written), static_cast<off_t>(length),
                        SYNC_FILE_RANGE_WRITE);
    }
#endif
    staged->written += length;
    return true;
}

void PlatformAbandonStaged(StagedFile* staged) {
    if (staged->handle >= 0) {
        close(static_cast<int>(staged->handle));
    }
    if (!staged->temp.empty()) {
        unlink(staged->temp.c_str());
    }
    staged->handle = -1;
    staged->temp.clear();
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
        bool placed = false;
        if (ok && f.temp.empty()) {
            ok = NameUnnamed(fd, f, &placed);
        }
        int code = ok ? 0 : errno;
        if (close(fd) != 0 && ok) {
            ok = false;
            code = errno;
        }
        if (ok && !placed && rename(f.temp.c_str(), f.target.c_str()) != 0) {
            ok = false;
            code = errno;
        }
        if (!ok && (placed || !f.temp.empty())) {
            unlink((placed ? f.target : f.temp).c_str());
        }
        if (!ok) {
            Refuse(&failures[i], FileError::kCannotWrite, code, true);
        } else {
            failures[i] = FileFailure();
        }
    }
}

const char kPlatformSeparator = '/';

std::string PlatformFileKey(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string key = resolved;
    std::free(resolved);
    return key;
}

PathKind PlatformPathKind(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) {
        return PathKind::kMissing;
    }
    return S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kOther;
}
