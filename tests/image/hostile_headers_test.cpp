// Headers that claim enormous pictures in a few bytes must be refused before anything large is
// allocated, on every road in: a BMP in memory, a BMP file, a clipboard block. The sanitizer
// build watches every allocation the heap sees; other builds have no such view and check only
// the refusal.
// Inputs the fuzzers once broke get a row here too.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "tests/support/test_files.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_WATCH_ALLOCATIONS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_WATCH_ALLOCATIONS 1
#endif

#ifdef VELMORA_WATCH_ALLOCATIONS
#include <sanitizer/allocator_interface.h>
#endif

namespace {

#ifdef VELMORA_WATCH_ALLOCATIONS
// Largest single allocation since the last Reset. The hook stays installed for the whole run
// (the sanitizer offers no way to remove it) and only records while watching.
struct AllocationWatch {
    static inline volatile bool watching = false;
    static inline volatile size_t largest = 0;
    static void OnMalloc(const volatile void*, size_t size) {
        if (watching && size > largest) {
            largest = size;
        }
    }
    static void OnFree(const volatile void*) {}
    static bool Install() {
        static const bool installed =
            __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
        return installed;
    }
};

template <typename F>
size_t LargestAllocationDuring(F&& f) {
    AllocationWatch::largest = 0;
    AllocationWatch::watching = true;
    f();
    AllocationWatch::watching = false;
    return AllocationWatch::largest;
}
#endif

// A 54-byte BMP header followed by `tail` bytes of rows, with the given fields.
Bytes BmpHeader(uint32_t offset, uint32_t width, uint32_t height, size_t tail) {
    Bytes b = MakeBmp(1, 1);
    b.resize(54 + tail, 0x5A);
    PutLe32(b, 10, offset);
    PutLe32(b, 18, width);
    PutLe32(b, 22, height);
    return b;
}

// A clipboard block: a 40-byte header followed by `tail` bytes.
Bytes DibHeader(uint32_t headerSize, uint32_t width, uint32_t height, uint16_t bits,
                uint32_t compression, size_t tail) {
    Bytes b(40 + tail, 0x5A);
    PutLe32(b, 0, headerSize);
    PutLe32(b, 4, width);
    PutLe32(b, 8, height);
    PutLe16(b, 12, 1);
    PutLe16(b, 14, bits);
    PutLe32(b, 16, compression);
    return b;
}

struct HostileCase {
    const char* name;
    bool isBmp;  // a BMP file, or else a clipboard block
    Bytes bytes;
};

std::vector<HostileCase> HostileCases() {
    const uint32_t kMax = 0x7FFFFFFF;
    return {
        {"bmp: width 2^31-1", true, BmpHeader(54, kMax, 1, 64)},
        {"bmp: height 2^31-1", true, BmpHeader(54, 1, kMax, 64)},
        {"bmp: both 2^31-1", true, BmpHeader(54, kMax, kMax, 64)},
        // 3 x 0x55555556 rounded up is 2^32 + 4: a 32-bit stride of 4 bytes.
        {"bmp: stride wraps 32 bits", true, BmpHeader(54, 0x55555556, 1, 8)},
        {"bmp: stride x height wraps 32 bits", true, BmpHeader(54, 1, 0x40000000, 8)},
        {"bmp: offset near 2^32", true, BmpHeader(0xFFFFFFFC, 1, 1, 64)},
        // 0xFFFFFFF0 + 64 wraps a 32-bit sum to 48, inside the headers.
        {"bmp: offset plus rows wraps 32 bits", true, BmpHeader(0xFFFFFFF0, 4, 4, 64)},
        // 54 + 16 x 0x0FFFFFFD wraps a 32-bit sum to 6 bytes.
        {"bmp: rows plus headers wrap 32 bits", true, BmpHeader(54, 5, 0x0FFFFFFD, 64)},
        {"dib: width 2^31-1, 24 bits", false, DibHeader(40, kMax, 1, 24, 0, 64)},
        {"dib: height 2^31-1, 32 bits", false, DibHeader(40, 1, kMax, 32, 0, 64)},
        // 4 x 0x40000001 is 2^32 + 4: a 32-bit row of 4 bytes.
        {"dib: 32-bit row wraps 32 bits", false, DibHeader(40, 0x40000001, 1, 32, 0, 8)},
        {"dib: header size near 2^32", false, DibHeader(0xFFFFFFF8, 1, 1, 24, 0, 64)},
        // The colour masks after a 40-byte header add 12 to where the rows start.
        {"dib: masks push the rows past the end", false, DibHeader(40, 2, 2, 32, 3, 16 + 11)},
    };
}

// Runs every road the bytes can take in and reports whether any accepted them.
bool AnyRoadAccepts(const HostileCase& c, PixelImage& image, const ScratchDir& dir) {
    if (!c.isBmp) {
        return ReadDibBlock(image, c.bytes.data(), c.bytes.size());
    }
    const std::string path = dir.Path("hostile.bmp");
    if (!WriteFileBytes(path, c.bytes)) {
        return true;  // shows up as a failure rather than passing unnoticed
    }
    return DecodeBmp(image, c.bytes.data(), c.bytes.size()) || LoadBmp(image, path.c_str());
}

}  // namespace

TEST(HostileHeadersTest, AreRefusedWithoutLargeAllocationsAndLeaveTheImageAlone) {
#ifdef VELMORA_WATCH_ALLOCATIONS
    ASSERT_TRUE(AllocationWatch::Install());
    // The control: a picture whose block is several MiB must be seen, or the watch is blind to
    // the very allocations it is here to catch.
    const Bytes big = MakeBmp(1100, 1000);
    ScopedImage control;
    const size_t largest = LargestAllocationDuring(
        [&] { EXPECT_TRUE(DecodeBmp(control.image, big.data(), big.size())); });
    EXPECT_GE(largest, size_t{40} + 1100 * 1000 * 4) << "the watch missed the image block";
#endif
    ScratchDir dir;
    for (const HostileCase& c : HostileCases()) {
        ScopedImage s;
        ASSERT_TRUE(s.image.Create(4, 3));
        FillPattern(s.image);
        const ImageSnapshot before = Snapshot(s.image);
        bool accepted = false;
#ifdef VELMORA_WATCH_ALLOCATIONS
        const size_t largest =
            LargestAllocationDuring([&] { accepted = AnyRoadAccepts(c, s.image, dir); });
        // Reading a file may allocate its length and some bookkeeping, nothing in proportion
        // to what the header claims.
        EXPECT_LE(largest, c.bytes.size() + 64 * 1024) << c.name;
#else
        accepted = AnyRoadAccepts(c, s.image, dir);
#endif
        EXPECT_FALSE(accepted) << c.name;
        EXPECT_TRUE(Snapshot(s.image) == before) << c.name;
    }
}
