// The program's picture: one heap block holding a 40-byte bitmap information header followed by
// width x height pixels of four bytes (blue, green, red, unused), top row first, so the block can
// go to the display unchanged as a top-down 32-bit device-independent bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kInfoHeaderSize = 40;
constexpr int32_t kBytesPerPixel = 4;

// Clamps a channel sum to 0..255. Sums arrive in 64 bits so no offset can overflow them.
inline uint8_t ClampChannel(int64_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Fills the 40-byte bitmap information header that the image, BMP files and clipboard blocks all
// begin with. Fields the program never sets are 0: compression (uncompressed), image size,
// resolutions and colour counts. A negative height means the top row comes first.
void WriteInfoHeader(uint8_t* header, int32_t width, int32_t height, uint16_t bitsPerPixel);

// Byte size of the block for an image of the given size, or 0 when the size is not positive
// or the block would not fit the signed 32-bit allocation size the core works with.
int32_t ImageBlockSize(int32_t width, int32_t height);

class PixelImage {
  public:
    // Starts as the 128 x 128 black image. There is deliberately no destructor: the one global
    // image is released by an exit handler, and any other picture lives in a ScopedImage.
    PixelImage();
    PixelImage(const PixelImage&) = delete;
    PixelImage& operator=(const PixelImage&) = delete;

    // Rebuilds the image at the new size, all bytes zero. Refuses sizes below 1 and keeps the
    // old picture when the new block cannot be had; the image is never left empty by a refusal.
    bool Create(int32_t width, int32_t height);
    void Release();
    // Trades blocks and sizes with another image, so that a picture built on the side takes
    // this one's place whole, or not at all, without a copy.
    void Swap(PixelImage& other);

    int32_t GetWidth() const { return width; }
    int32_t GetHeight() const { return height; }
    // Header and pixels for the display; null while the image is empty.
    const uint8_t* GetHeader() const { return header; }
    const uint8_t* GetPixels() const { return pixels; }
    // Row-wise access for the codecs and bulk operations: first byte of row y. Callers keep y in
    // range; the per-pixel accessors below are the bounds-tested way.
    uint8_t* RowPixels(int32_t y) {
        return pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * kBytesPerPixel;
    }
    const uint8_t* RowPixels(int32_t y) const {
        return pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * kBytesPerPixel;
    }
    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && x < width && y >= 0 && y < height;
    }

    uint8_t GetRed(int32_t x, int32_t y) const { return GetByte(x, y, 2); }
    uint8_t GetGreen(int32_t x, int32_t y) const { return GetByte(x, y, 1); }
    uint8_t GetBlue(int32_t x, int32_t y) const { return GetByte(x, y, 0); }
    bool SetRed(int32_t x, int32_t y, int32_t value) { return SetByte(x, y, 2, value); }
    bool SetGreen(int32_t x, int32_t y, int32_t value) { return SetByte(x, y, 1, value); }
    bool SetBlue(int32_t x, int32_t y, int32_t value) { return SetByte(x, y, 0, value); }

    // Adds the offsets to one pixel, each channel clamped on its own; the fourth byte is left
    // alone. False, with nothing changed, outside the image.
    bool AddToPixel(int32_t x, int32_t y, int32_t dRed, int32_t dGreen, int32_t dBlue) {
        if (!Contains(x, y)) {
            return false;
        }
        uint8_t* p = PixelAt(x, y);
        p[2] = ClampChannel(int64_t{p[2]} + dRed);
        p[1] = ClampChannel(int64_t{p[1]} + dGreen);
        p[0] = ClampChannel(int64_t{p[0]} + dBlue);
        return true;
    }

  private:
    uint8_t* PixelAt(int32_t x, int32_t y) const {
        return pixels + (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * kBytesPerPixel;
    }
    uint8_t GetByte(int32_t x, int32_t y, int channel) const {
        return Contains(x, y) ? PixelAt(x, y)[channel] : 0;
    }
    bool SetByte(int32_t x, int32_t y, int channel, int32_t value) {
        if (!Contains(x, y)) {
            return false;
        }
        PixelAt(x, y)[channel] = ClampChannel(value);
        return true;
    }

    uint8_t* block;   // the one allocation; null while empty
    uint8_t* header;  // same address as block
    uint8_t* pixels;  // block + 40
    int32_t width;
    int32_t height;
};

// A picture of its own beside the global one, for a worker or a test, released when it goes.
struct ScopedImage {
    PixelImage image;
    ~ScopedImage() { image.Release(); }
};

// The program's one image, constructed during static initialisation; its release is registered
// with atexit right after construction.
extern PixelImage g_image;

// The core's allocation pair. AllocZeroed refuses sizes below 1 without asking the heap.
void* AllocZeroed(int32_t size);
bool FreeBlock(void* block);
