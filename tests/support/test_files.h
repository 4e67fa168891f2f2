// Shared by the unit tests and the fuzz target: scratch files, inputs built byte by byte, and the
// reference models every way of the core is held against.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// A fresh folder, removed with everything in it afterwards.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    std::string Path(const std::string& name) const { return (fs::path(root) / name).string(); }
    std::string root;
};
// Works in a folder until it goes, even when a failed assertion ends the test early.
struct WorkingIn {
    explicit WorkingIn(const std::string& dir) : was(fs::current_path()) { fs::current_path(dir); }
    ~WorkingIn() { fs::current_path(was); }
    fs::path was;
};
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);
void PutLe32(Bytes& b, size_t offset, uint32_t v);

// Pixel (x, y) of MakeBmp's and MakeDib's pictures, which are bottom-up with header bytes past
// 40 of 0xDD, fourth bytes of 0x80 | (8x + y), and fill bytes `fill`, so a reader that takes any
// of them for pixels shows. A 32-bit 40-byte header with compression 3 gets colour masks.
void FillPattern(PixelImage& image);
Bytes MakeBmp(int32_t width, int32_t height, uint8_t fill = 0xEE, uint32_t infoSize = 40);
Bytes MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t headerSize = 40,
              uint32_t compression = 0, uint8_t fill = 0xEE);

// PixelImage itself never frees on destruction.
struct ScopedImage {
    PixelImage image;
    ~ScopedImage() { image.Release(); }
};
// Every byte, fourth ones included; each channel takes all 256 values in any 256 pixels in a row.
void Scramble(PixelImage& image, uint32_t seed);

// All there is to see of an image: its size and its whole block, header included.
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
Picture Blank(int32_t width, int32_t height);  // a new image: top-down 32-bit header, black

// The verdicts, worked out in 64 bits straight from the headers.
BmpError ModelBmp(const Bytes& file, Picture* out);
bool ModelDib(const Bytes& block, Picture* out);
// Each channel plus its offset, clamped to 0..255; the fourth byte as it was; outside, nothing.
void ModelAdd(Picture& p, int64_t x, int64_t y, const AdjustSettings& s);
void ModelStamp(Picture& p, const AdjustSettings& s, int32_t x, int32_t y);
// What differs from the models, or "": the input read as a clipboard block and as a BMP in
// memory, each from a block of exactly its length, and given a path, through a file and the
// streamed add, whose output must be the way through the image's byte for byte. A refusal must
// leave the image as it was.
std::string Mismatch(const Bytes& input, const std::string& path = "");
