#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path dir = fs::temp_directory_path() / ("velmora-test-" + std::to_string(stamp) +
                                                      "-" + std::to_string(counter++));
    fs::create_directories(dir);
    root = dir.string();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::string ScratchDir::Path(const std::string& name) const {
    return (fs::path(root) / name).string();
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return static_cast<bool>(out);
}

Bytes ReadFileBytes(const std::string& path, bool* exists) {
    std::ifstream in(path, std::ios::binary);
    if (exists != nullptr) {
        *exists = static_cast<bool>(in);
    }
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

uint32_t GetLe32(const Bytes& b, size_t offset) {
    return b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 | uint32_t{b[offset + 3]} << 24;
}

void PutLe32(Bytes& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[offset + i] = uint8_t(v >> (8 * i));
    }
}

void ColourAt(int32_t x, int32_t y, uint8_t rgb[3]) {
    rgb[0] = uint8_t(17 * x + 3 * y + 1);
    rgb[1] = uint8_t(5 * x + 29 * y + 2);
    rgb[2] = uint8_t(11 * x + 7 * y + 3);
}

namespace {

// Bottom-up rows of `bytes` bytes a pixel (blue, green, red, fourth) after `offset` bytes.
Bytes MakeRows(int32_t width, int32_t height, int bytes, size_t offset, uint8_t fill) {
    const size_t stride = (size_t(width) * bytes + 3) / 4 * 4;
    Bytes b(offset + stride * height, fill);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            const uint8_t px[4] = {rgb[2], rgb[1], rgb[0], uint8_t(0x80 | (x * 8 + y))};
            std::copy(px, px + bytes, &b[offset + (height - 1 - y) * stride + x * bytes]);
        }
    }
    return b;
}

}  // namespace

Bytes MakeBmp(int32_t width, int32_t height, uint8_t fill) {
    Bytes b = MakeRows(width, height, 3, 54, fill);
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B';
    b[1] = 'M';
    const uint32_t fields[][2] = {
        {2, uint32_t(b.size())}, {10, 54}, {14, 40}, {18, uint32_t(width)},
        {22, uint32_t(height)},  {26, 1},  {28, 24}};
    for (const auto& f : fields) {
        PutLe32(b, f[0], f[1]);
    }
    return b;
}

Bytes MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t headerSize,
              uint32_t compression, uint8_t fill) {
    const bool masks = bits == 32 && headerSize == 40 && compression == 3;
    Bytes b = MakeRows(width, height, bits / 8, headerSize + (masks ? 12 : 0), fill);
    std::fill(b.begin(), b.begin() + headerSize, 0xDD);
    std::fill(b.begin(), b.begin() + 40, 0);
    const uint32_t fields[][2] = {{0, headerSize},
                                  {4, uint32_t(width)},
                                  {8, uint32_t(height)},
                                  {12, 1u | bits << 16},
                                  {16, compression}};
    for (const auto& f : fields) {
        PutLe32(b, f[0], f[1]);
    }
    for (uint32_t i = 0; masks && i < 3; ++i) {
        PutLe32(b, headerSize + 4 * i, 0xFF0000u >> (8 * i));
    }
    return b;
}

void FillPattern(PixelImage& image) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            uint8_t rgb[3];
            ColourAt(x, y, rgb);
            image.SetRed(x, y, rgb[0]);
            image.SetGreen(x, y, rgb[1]);
            image.SetBlue(x, y, rgb[2]);
        }
    }
}

void Scramble(PixelImage& image, uint32_t seed) {
    uint8_t* p = image.RowPixels(0);
    for (size_t i = 0; i < size_t(image.GetWidth()) * image.GetHeight(); ++i) {
        for (uint32_t c = 0; c < 4; ++c) {
            p[4 * i + c] = uint8_t(i * (2 * c + 1) * 37 + seed * (c + 3));
        }
    }
}

Picture Capture(const PixelImage& image) {
    Picture p{image.GetWidth(), image.GetHeight(), {}};
    if (image.GetHeader() != nullptr) {
        p.block.assign(image.GetHeader(), image.GetPixels() + size_t(p.width) * p.height * 4);
    }
    return p;
}

Picture Blank(int32_t width, int32_t height) {
    Picture p{width, height, Bytes(40 + size_t(width) * height * 4, 0)};
    const uint32_t fields[][2] = {
        {0, 40}, {4, uint32_t(width)}, {8, uint32_t(-height)}, {12, 1u | 32u << 16}};
    for (const auto& f : fields) {
        PutLe32(p.block, f[0], f[1]);
    }
    return p;
}

namespace {

// Rows bottom up from `offset`, `stride` bytes apart, `bytes` bytes a pixel.
void ModelRows(const Bytes& in, uint64_t offset, uint64_t stride, int bytes, Picture* out) {
    for (int32_t y = 0; y < out->height; ++y) {
        for (int32_t x = 0; x < out->width; ++x) {
            const uint8_t* px = &in[offset + (out->height - 1 - y) * stride + uint64_t(x) * bytes];
            std::copy(px, px + bytes, out->At(x, y));
        }
    }
}

}  // namespace

BmpError ModelBmp(const Bytes& f, Picture* out) {
    if (f.size() < 30 || (f[28] | f[29] << 8) != 24) {
        return BmpError::kNotBmp24;
    }
    const int64_t width = int32_t(GetLe32(f, 18)), height = int32_t(GetLe32(f, 22));
    if (width < 1 || height < 1) {
        return BmpError::kBadSize;
    }
    const uint64_t offset = GetLe32(f, 10), stride = (width * 3 + 3) / 4 * 4;
    if (offset + stride * height > f.size()) {
        return BmpError::kTruncated;
    }
    *out = Blank(int32_t(width), int32_t(height));
    ModelRows(f, offset, stride, 3, out);
    return BmpError::kNone;
}

bool ModelDib(const Bytes& b, Picture* out) {
    if (b.size() < 40) {
        return false;
    }
    const int bits = b[14] | b[15] << 8;
    const int64_t width = int32_t(GetLe32(b, 4)), height = int32_t(GetLe32(b, 8));
    const bool masks = bits == 32 && GetLe32(b, 0) == 40 && GetLe32(b, 16) == 3;
    const uint64_t offset = uint64_t{GetLe32(b, 0)} + (masks ? 12 : 0);
    const uint64_t stride = bits == 32 ? width * 4 : (width * 3 + 3) / 4 * 4;
    if ((bits != 24 && bits != 32) || width < 1 || height < 1 ||
        offset + stride * height > b.size()) {
        return false;
    }
    *out = Blank(int32_t(width), int32_t(height));
    ModelRows(b, offset, stride, bits / 8, out);
    return true;
}

void ModelAdd(Picture& p, int64_t x, int64_t y, const AdjustSettings& s) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) {
        return;
    }
    const int64_t offsets[3] = {s.blue, s.green, s.red};
    for (int c = 0; c < 3; ++c) {
        p.At(x, y)[c] = uint8_t(std::clamp<int64_t>(p.At(x, y)[c] + offsets[c], 0, 255));
    }
}

void ModelStamp(Picture& p, const AdjustSettings& s, int32_t x, int32_t y) {
    const int64_t n = s.penSize, left = int64_t{x} - n / 2, top = int64_t{y} - n / 2;
    for (int64_t row = top; row < top + n; ++row) {
        for (int64_t column = left; column < left + n; ++column) {
            ModelAdd(p, column, row, s);
        }
    }
}
