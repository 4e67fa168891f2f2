// The platform seam on systems without Win32: the C library and POSIX.
#include "image/platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Every block carries a small record just before the address handed out, so that PlatformFree
// can tell a mapping of its own from a C library block.
struct BlockRecord {
    uint64_t mappedLength;  // 0 for a calloc block; otherwise the length of the whole mapping
    uint64_t mappingStart;  // address the mapping begins at
};
constexpr size_t kRecordSpace = 16;
static_assert(sizeof(BlockRecord) == kRecordSpace, "the record must fill its space exactly");

// Blocks from here up are image blocks and whole BMP files. Touching a fresh 4 KiB page costs a
// fault each (about 11 us on a virtual machine, 0.7 s for a 256 MiB image); on 2 MiB pages the
// same block costs about what zeroing it does. Below this size the rounding up to whole 2 MiB
// pages would waste too large a share.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeBlock = size_t{4} << 20;

// Under AddressSanitizer every block stays on the C heap, where the sanitizer sees it: a mapping
// of our own would hide overruns past an image and the allocations fuzzing is meant to catch.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif

// Image blocks put their pixels 40 bytes in; handing out a block 88 bytes past a page start puts
// those pixels on a 64-byte line, where the vector passes never split a load across two lines.
constexpr size_t kLargeBlockLead = 88;

void* RecordBlock(uint8_t* start, size_t lead, uint64_t mappedLength) {
    const BlockRecord record{mappedLength, reinterpret_cast<uintptr_t>(start)};
    std::memcpy(start + lead - kRecordSpace, &record, sizeof record);
    return start + lead;
}

// A fresh anonymous mapping, zero until written, advised onto 2 MiB pages. The kernel backs
// only those 2 MiB stretches with huge pages that are aligned and wholly inside the mapping, so
// the mapping is made one huge page longer, and its unaligned head and the rest of its tail are
// handed back at once.
void* MapLargeBlock(size_t size) {
    if (size > SIZE_MAX - kLargeBlockLead - 2 * kHugePage) {
        return nullptr;
    }
    const size_t used = (size + kLargeBlockLead + kHugePage - 1) / kHugePage * kHugePage;
    const size_t mapped = used + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    auto* first = static_cast<uint8_t*>(raw);
    const uintptr_t address = reinterpret_cast<uintptr_t>(first);
    auto* start = reinterpret_cast<uint8_t*>((address + kHugePage - 1) & ~(kHugePage - 1));
    const size_t head = static_cast<size_t>(start - first);
    if (head > 0) {
        munmap(first, head);
    }
    if (mapped - head > used) {
        munmap(start + used, mapped - head - used);
    }
#ifdef MADV_HUGEPAGE
    madvise(start, used, MADV_HUGEPAGE);  // advice only: the block works without it
#endif
    return RecordBlock(start, kLargeBlockLead, used);
}

// Blocks from here up to a large block would come from the C heap as fresh mappings of 4 KiB
// pages, each faulting on its first touch: for a 512 x 512 file those faults cost more than the
// rest of the load, add and save together. Every block of this size is written or read whole
// soon after, so its pages are put in place in the one call instead.
constexpr size_t kPopulatedBlock = size_t{128} << 10;

void* MapPopulatedBlock(size_t size) {
    const size_t page = 4096;
    const size_t used = (size + kLargeBlockLead + page - 1) / page * page;
    void* raw = mmap(nullptr, used, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return raw == MAP_FAILED ? nullptr
                             : RecordBlock(static_cast<uint8_t*>(raw), kLargeBlockLead, used);
}

}  // namespace

void* PlatformAllocZeroed(size_t size) {
    if (kMapLargeBlocks && size >= kLargeBlock) {
        return MapLargeBlock(size);
    }
    if (kMapLargeBlocks && size >= kPopulatedBlock) {
        return MapPopulatedBlock(size);
    }
    if (size > SIZE_MAX - kRecordSpace) {
        return nullptr;
    }
    // calloc hands out blocks of a few hundred KiB and more as fresh mappings too, already zero,
    // so no block pays for zeroing pages nobody has touched.
    auto* start = static_cast<uint8_t*>(std::calloc(size + kRecordSpace, 1));
    return start == nullptr ? nullptr : RecordBlock(start, kRecordSpace, 0);
}

void PlatformFree(void* block) {
    if (block == nullptr) {
        return;
    }
    BlockRecord record;
    std::memcpy(&record, static_cast<uint8_t*>(block) - kRecordSpace, sizeof record);
    // A record that no longer leads to this block was overwritten; freeing by it would leak the
    // block or hand the heap a pointer it never gave out.
    const size_t lead = record.mappedLength == 0 ? kRecordSpace : kLargeBlockLead;
    if (record.mappingStart == 0 ||
        record.mappingStart + lead != reinterpret_cast<uintptr_t>(block)) {
        std::abort();
    }
    void* start = reinterpret_cast<void*>(static_cast<uintptr_t>(record.mappingStart));
    if (record.mappedLength == 0) {
        std::free(start);
    } else {
        munmap(start, static_cast<size_t>(record.mappedLength));
    }
}

void PlatformDiscard(void* block, size_t length) {
    if (block == nullptr) {
        return;
    }
    BlockRecord record;
    std::memcpy(&record, static_cast<uint8_t*>(block) - kRecordSpace, sizeof record);
    if (record.mappedLength == 0) {
        return;  // the C heap's; it may share pages with other blocks
    }
    // Whole 2 MiB pages only: giving back part of one would split it for no gain. The first page
    // of the block is kept whatever the length, for the record PlatformFree reads.
    const uintptr_t mask = uintptr_t{kHugePage} - 1;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(block);
    const uintptr_t from = (begin + mask) & ~mask;
    const uintptr_t last = static_cast<uintptr_t>(record.mappingStart + record.mappedLength);
    const uintptr_t through = (length < last - begin ? begin + length : last) & ~mask;
    if (through > from) {
        madvise(reinterpret_cast<void*>(from), through - from, MADV_DONTNEED);
    }
}

namespace {

bool SetError(FileError* error, FileError why) {
    if (error != nullptr) {
        *error = why;
    }
    return false;
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

bool PlatformStageWholeFile(const char* path, uint8_t* data, size_t length, StagedFile* staged,
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
    const mode_t mode = exists ? old.st_mode & 07777 : 0666 & ~ProcessUmask();
    if (fchmod(fd, mode) != 0 || !WriteAll(fd, data, length, exists)) {
        close(fd);
        unlink(temp.c_str());
        return SetError(error, FileError::kCannotWrite);
    }
    *staged = StagedFile{path, temp, fd, exists};
    return true;
}

void PlatformCommitStaged(StagedFile* files, size_t count, bool* committed) {
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
        if (fstat(fd, &st) != 0 || (replacing > 0 && st.st_dev != device)) {
            oneDevice = false;
        }
        device = st.st_dev;
        anyFd = fd;
        ++replacing;
    }
    bool groupFlushed = false;
#ifdef __linux__
    // syncfs reports a write-back error on the file system since Linux 5.8; should it fail,
    // each file still gets its own fsync below.
    groupFlushed = replacing > 1 && oneDevice && syncfs(anyFd) == 0;
#else
    (void)anyFd;
    (void)oneDevice;
#endif
    for (size_t i = 0; i < count; ++i) {
        StagedFile& f = files[i];
        const int fd = static_cast<int>(f.handle);
        const bool written = !f.replacing || groupFlushed || fsync(fd) == 0;
        const bool closed = close(fd) == 0;
        f.handle = -1;
        committed[i] = written && closed && rename(f.temp.c_str(), f.target.c_str()) == 0;
        if (!committed[i]) {
            unlink(f.temp.c_str());
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
