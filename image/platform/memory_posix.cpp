// Memory on systems without Win32: the C heap for small blocks, and anonymous mappings for larger
// ones, put in place at once or laid on huge pages, so that a big block does not pay a fault for
// each 4 KiB page it touches.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/platform.h"

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
