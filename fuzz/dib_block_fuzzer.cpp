// Hostile CF_DIB blocks through the block reader that every paste ends in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "image/clipboard_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PixelImage image;
    fuzz::StartImage(image);
    const fuzz::Snapshot before = fuzz::Take(image);

    const bool accepted = ReadDibBlock(image, data, size);

    bool deserved = size >= 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bits = 0;
    uint64_t rowsOffset = 0;
    uint64_t rowBytes = 0;
    if (deserved) {
        const uint32_t headerSize = fuzz::Le32(data);
        width = static_cast<int32_t>(fuzz::Le32(data + 4));
        height = static_cast<int32_t>(fuzz::Le32(data + 8));
        bits = fuzz::Le16(data + 14);
        // A bare 40-byte header that announces colour masks (BI_BITFIELDS, 3) for 32 bits is
        // followed by three of them before the rows.
        rowsOffset = uint64_t(headerSize) +
                     (bits == 32 && headerSize == 40 && fuzz::Le32(data + 16) == 3 ? 12 : 0);
        rowBytes = bits == 24 ? fuzz::Stride24(width) : uint64_t(width) * 4;
        deserved = (bits == 24 || bits == 32) && width >= 1 && height >= 1 &&
                   fuzz::Fits(rowsOffset, rowBytes, uint64_t(height), size) &&
                   fuzz::Holdable(width, height);
    }
    FUZZ_CHECK(accepted == deserved);

    if (!accepted) {
        FUZZ_CHECK(fuzz::Unchanged(image, before));
        return 0;
    }
    FUZZ_CHECK(image.GetWidth() == width && image.GetHeight() == height);
    fuzz::CheckImageHeader(image);
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = data + rowsOffset + uint64_t(r) * rowBytes;
        const uint8_t* px = image.GetPixels() + size_t(height - 1 - r) * size_t(width) * 4;
        if (bits == 32) {
            FUZZ_CHECK(std::memcmp(px, row, size_t(width) * 4) == 0);
            continue;
        }
        for (int32_t x = 0; x < width; ++x, px += 4) {
            FUZZ_CHECK(px[0] == row[3 * x] && px[1] == row[3 * x + 1] && px[2] == row[3 * x + 2]);
            FUZZ_CHECK(px[3] == 0);
        }
    }

    // What is read back must survive the way out again: writing the block and reading it gives
    // the same red, green and blue.
    static PixelImage back;
    std::vector<uint8_t> out(DibBlockSize(image));
    WriteDibBlock(image, out.data());
    FUZZ_CHECK(out.size() == 40 + fuzz::Stride24(width) * uint64_t(height));
    FUZZ_CHECK(ReadDibBlock(back, out.data(), out.size()));
    FUZZ_CHECK(back.GetWidth() == width && back.GetHeight() == height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            FUZZ_CHECK(back.GetRed(x, y) == image.GetRed(x, y) &&
                       back.GetGreen(x, y) == image.GetGreen(x, y) &&
                       back.GetBlue(x, y) == image.GetBlue(x, y));
        }
    }
    return 0;
}
