#include "image/clipboard_dib.h"

#include <cstring>

#include "image/answer.h"
#include "image/bmp_file.h"
#include "image/bmp_file_internal.h"
#include "image/byte_order.h"
#include "image/platform_clipboard.h"

namespace {

// A 40-byte header announcing BI_BITFIELDS is followed by three 4-byte colour masks before the
// rows; longer headers carry their masks inside themselves. Screen bitmaps reach us this way.
constexpr uint32_t kBiBitfields = 3;
constexpr uint64_t kColourMasksSize = 12;

}  // namespace

size_t DibBlockSize(const PixelImage& image) {
    // An image is never smaller than 0 x 0 (empty), and a live one is at most 2 GiB at 4 bytes a
    // pixel, so its 3-byte rows fit comfortably in 64 bits and, being smaller than the image
    // block, in any size_t that could hold the image.
    const uint64_t stride = static_cast<uint64_t>(RowStride(image.GetWidth()));
    const uint64_t rows = static_cast<uint64_t>(image.GetHeight());
    return static_cast<size_t>(uint64_t{kInfoHeaderSize} + stride * rows);
}

void WriteDibBlock(const PixelImage& image, uint8_t* block) {
    WriteInfoHeader(block, image.GetWidth(), image.GetHeight(), 24);  // bottom row first
    WriteBottomUpRows(image, block + kInfoHeaderSize);
}

bool ReadDibBlock(PixelImage& image, const uint8_t* block, size_t size) {
    if (block == nullptr || size < static_cast<size_t>(kInfoHeaderSize)) {
        return false;
    }
    const uint16_t bitsPerPixel = ReadLe16(block + 14);  // offset 14: bits per pixel
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        return false;
    }
    const uint32_t headerSize = ReadLe32(block + 0);                   // offset 0
    const int32_t width = static_cast<int32_t>(ReadLe32(block + 4));   // offset 4
    const int32_t height = static_cast<int32_t>(ReadLe32(block + 8));  // offset 8
    const uint32_t compression = ReadLe32(block + 16);                 // offset 16
    const uint32_t coloursUsed = ReadLe32(block + 32);                 // offset 32
    // Planes, image size, resolutions and the important-colours count are not consulted: none
    // of them moves the rows or changes how a pixel reads, and writers leave the image size 0
    // for uncompressed rows.
    // Palette-aware programs put a colour table of coloursUsed entries between the header (and
    // masks) and the rows even at these depths; it is skipped, never read as pixels. The sum is
    // of 32-bit values in 64 bits, so hostile counts cannot wrap it.
    uint64_t rowsOffset = headerSize;
    if (bitsPerPixel == 32 && headerSize == uint32_t{kInfoHeaderSize} &&
        compression == kBiBitfields) {
        rowsOffset += kColourMasksSize;
    }
    rowsOffset += uint64_t{coloursUsed} * 4;
    if (rowsOffset > size) {
        return false;
    }
    // Top-down blocks (negative height) and empty ones end here, before the image is touched.
    if (width < 1 || height < 1) {
        return false;
    }
    const uint64_t rowBytes = bitsPerPixel == 24 ? static_cast<uint64_t>(RowStride(width))
                                                 : uint64_t(width) * kBytesPerPixel;
    if (!RowsFit(rowBytes, height, uint64_t{size} - rowsOffset)) {
        return false;
    }
    if (!image.Create(width, height)) {
        return false;
    }
    const uint8_t* row = block + rowsOffset;
    for (int32_t r = 0; r < height; ++r, row += rowBytes) {
        uint8_t* dst = image.RowPixels(height - 1 - r);  // block rows run bottom to top
        if (bitsPerPixel == 32) {
            std::memcpy(dst, row, static_cast<size_t>(rowBytes));  // fourth bytes included
        } else {
            DecodeBmpRow(row, dst, width);
        }
    }
    return true;
}

bool CopyToClipboard(const PixelImage& image, bool* published) {
    Answer(published, false);
    // The block is finished before the clipboard is opened, so it is held open only briefly.
    const size_t size = DibBlockSize(image);
    ClipboardBlock block = PlatformAllocMovable(size);
    if (block == nullptr) {
        return true;
    }
    uint8_t* bytes = PlatformLockMovable(block);
    if (bytes == nullptr) {
        PlatformFreeMovable(block);
        return true;
    }
    WriteDibBlock(image, bytes);
    PlatformUnlockMovable(block);
    if (!PlatformOpenClipboard()) {
        PlatformFreeMovable(block);
        return true;
    }
    PlatformEmptyClipboard();
    const bool taken = PlatformSetClipboardDib(block);
    PlatformCloseClipboard();
    // Once taken the block is the clipboard's; otherwise nobody else will ever free it.
    if (!taken) {
        PlatformFreeMovable(block);
    }
    Answer(published, taken);
    return true;
}

bool PasteFromClipboard(PixelImage& image) {
    if (!PlatformOpenClipboard()) {
        return false;
    }
    bool pasted = false;
    ClipboardBlock block = PlatformGetClipboardDib();
    const size_t size = block == nullptr ? 0 : PlatformMovableSize(block);
    if (size >= static_cast<size_t>(kInfoHeaderSize)) {
        const uint8_t* bytes = PlatformLockMovable(block);
        if (bytes != nullptr) {
            pasted = ReadDibBlock(image, bytes, size);
            PlatformUnlockMovable(block);
        }
    }
    PlatformCloseClipboard();
    return pasted;
}
