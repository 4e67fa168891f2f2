// Real files for the tests: a private scratch folder, whole-file reads and writes, and BMP
// files built byte by byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/pixel_image.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder of its own for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Full path of a file inside the folder, in the form the platform's file calls take.
    std::string Path(const std::string& name) const;
    const std::string& Root() const { return root; }

  private:
    std::string root;
};

bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// The file's bytes; an empty vector with *exists false when it cannot be read.
Bytes ReadFileBytes(const std::string& path, bool* exists = nullptr);
bool FileExists(const std::string& path);

void PutLe32(Bytes& b, size_t offset, uint32_t v);
void PutLe16(Bytes& b, size_t offset, uint16_t v);
uint32_t GetLe32(const Bytes& b, size_t offset);

// A 24-bit bottom-up BMP with a 54-byte header; pixel (x, y) gets ColourAt(x, y), fill bytes
// are 0xEE so a reader that takes them for pixels is caught.
Bytes MakeBmp(int32_t width, int32_t height);
// The file with one change: bits 16 or 32 puts value in the little-endian field at offset `at`;
// bits 0 cuts the file to `at` bytes.
Bytes Altered(Bytes file, size_t at, int bits, uint32_t value);
// Deterministic distinct colours: red, green, blue of pixel (x, y).
void ColourAt(int32_t x, int32_t y, uint8_t rgb[3]);

// An image that is released when the test ends (PixelImage itself never frees on destruction).
struct ScopedImage {
    PixelImage image;
    ~ScopedImage() { image.Release(); }
};

// Fills the image with a pattern in which neighbouring channels differ.
void FillPattern(PixelImage& image);

// The fourth byte of pixel (x, y), which no public operation reads or writes; the point must
// lie inside the image.
uint8_t FourthByte(const PixelImage& image, int32_t x, int32_t y);
void SetFourthByte(PixelImage& image, int32_t x, int32_t y, uint8_t value);
// Gives every pixel a distinct non-zero fourth byte, so an operation that disturbs it shows.
void MarkFourthBytes(PixelImage& image);

// Everything observable about an image: its size, its 40-byte header and every pixel byte,
// the fourth bytes included. Two equal snapshots mean nothing changed.
struct ImageSnapshot {
    int32_t width = 0;
    int32_t height = 0;
    Bytes header;
    Bytes pixels;
    bool operator==(const ImageSnapshot& o) const {
        return width == o.width && height == o.height && header == o.header && pixels == o.pixels;
    }
    bool operator!=(const ImageSnapshot& o) const { return !(*this == o); }
};
ImageSnapshot Snapshot(const PixelImage& image);

// What a command-line entry point did: its exit code and what it wrote to each stream.
struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};
using CliEntry = int (*)(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
// Runs the entry point in-process with argv[0] "velmora-cli" and the given arguments. Both
// streams go to files in a scratch folder of their own (carriage returns dropped on reading).
CliRun RunCapturing(CliEntry entry, const std::vector<std::string>& args);
