#include "image/pixel_image.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "image/byte_order.h"
#include "image/platform.h"

void* AllocZeroed(int32_t size) {
    if (size < 1) {
        return nullptr;
    }
    return PlatformAllocZeroed(static_cast<size_t>(size));
}

bool FreeBlock(void* block) {
    if (block != nullptr) {
        PlatformFree(block);
    }
    return true;
}

void WriteInfoHeader(uint8_t* header, int32_t width, int32_t height, uint16_t bitsPerPixel) {
    std::memset(header, 0, kInfoHeaderSize);
    WriteLe32(header + 0, kInfoHeaderSize);
    WriteLe32(header + 4, static_cast<uint32_t>(width));
    WriteLe32(header + 8, static_cast<uint32_t>(height));
    WriteLe16(header + 12, 1);  // planes
    WriteLe16(header + 14, bitsPerPixel);
}

int32_t ImageBlockSize(int32_t width, int32_t height) {
    if (width < 1 || height < 1) {
        return 0;
    }
    // Both factors are below 2^31, so the pixel count fits 63 bits; four bytes a pixel would
    // not, so the count is compared before it is multiplied.
    const int64_t pixelCount = int64_t{width} * height;
    if (pixelCount > (INT32_MAX - kInfoHeaderSize) / kBytesPerPixel) {
        return 0;
    }
    return static_cast<int32_t>(pixelCount * kBytesPerPixel + kInfoHeaderSize);
}

PixelImage::PixelImage() : block(nullptr), header(nullptr), pixels(nullptr), width(0), height(0) {
    Create(128, 128);
}

bool PixelImage::Create(int32_t newWidth, int32_t newHeight) {
    // ImageBlockSize gives 0 for a size below 1 as well as for one too large: one check holds both.
    const int32_t size = ImageBlockSize(newWidth, newHeight);
    if (size == 0) {
        return false;
    }
    // A block of the same shape is cleared rather than replaced: a run over many files of one
    // size then costs no mapping and no fresh pages per file.
    if (block != nullptr && newWidth == width && newHeight == height) {
        std::memset(block, 0, static_cast<size_t>(size));
        WriteInfoHeader(header, width, -height, 32);
        return true;
    }
    // The new block comes first: if it cannot be had, the user's picture must survive.
    auto* newBlock = static_cast<uint8_t*>(AllocZeroed(size));
    if (newBlock == nullptr) {
        return false;
    }
    FreeBlock(block);
    block = newBlock;
    header = newBlock;
    pixels = newBlock + kInfoHeaderSize;
    width = newWidth;
    height = newHeight;
    WriteInfoHeader(header, width, -height, 32);  // top row first, as the pixels lie
    return true;
}

void PixelImage::Release() {
    FreeBlock(block);
    block = nullptr;
    header = nullptr;
    pixels = nullptr;
    width = 0;
    height = 0;
}

void PixelImage::Swap(PixelImage& other) {
    std::swap(block, other.block);
    std::swap(header, other.header);
    std::swap(pixels, other.pixels);
    std::swap(width, other.width);
    std::swap(height, other.height);
}

namespace {
void ReleaseTheImage() {
    g_image.Release();
}
}  // namespace

// Constructed before the program's entry runs; the release is registered right after it.
PixelImage g_image;
static const int g_imageReleaseRegistered = std::atexit(ReleaseTheImage);
