// Shared by the unit tests and the fuzz targets: scratch files, inputs built byte by byte, and the
// reference models every accepting or refusing road of the core is held against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/pixel_addition.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder of its own for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const;
    const std::string& Root() const { return root; }

  private:
    std::string root;
};

bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// The file's bytes; an empty vector with *exists false when it cannot be read.
Bytes ReadFileBytes(const std::string& path, bool* exists = nullptr);
bool FileExists(const std::string& path);
uint32_t GetLe32(const Bytes& b, size_t offset);
void PutLe32(Bytes& b, size_t offset, uint32_t v);

// Deterministic distinct colours: red, green, blue of pixel (x, y).
void ColourAt(int32_t x, int32_t y, uint8_t rgb[3]);
// A 24-bit bottom-up BMP with a 54-byte header and ColourAt's pixels; fill bytes are `fill`, so a
// reader that takes them for pixels is caught.
Bytes MakeBmp(int32_t width, int32_t height, uint8_t fill = 0xEE);
// A clipboard block of ColourAt's pixels, fourth bytes 0x80 | (8x + y) at 32 bits; header bytes
// past 40 are 0xDD, and a 40-byte 32-bit header with compression 3 is followed by colour masks.
Bytes MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t headerSize = 40,
              uint32_t compression = 0, uint8_t fill = 0xEE);

// An image that is released when the test ends (PixelImage itself never frees on destruction).
struct ScopedImage {
    PixelImage image;
    ~ScopedImage() { image.Release(); }
};
void FillPattern(PixelImage& image);
// Every byte, fourth ones included; each channel takes all 256 values in any 256 pixels in a row.
void Scramble(PixelImage& image, uint32_t seed);

// Everything observable about an image: its size and its whole block, header and fourth bytes
// included.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    Bytes block;
    bool operator==(const Picture& o) const {
        return width == o.width && height == o.height && block == o.block;
    }
    uint8_t* At(int64_t x, int64_t y) { return &block[40 + (size_t(y) * width + x) * 4]; }
};
Picture Capture(const PixelImage& image);
// A new image of that size: the top-down 32-bit header and black pixels.
Picture Blank(int32_t width, int32_t height);

// The verdicts, worked out in 64 bits straight from the headers.
BmpError ModelBmp(const Bytes& file, Picture* out);
bool ModelDib(const Bytes& block, Picture* out);
// Each channel plus its offset, clamped to 0..255; the fourth byte as it was; outside, nothing.
void ModelAdd(Picture& p, int64_t x, int64_t y, const AdjustSettings& s);
void ModelStamp(Picture& p, const AdjustSettings& s, int32_t x, int32_t y);
