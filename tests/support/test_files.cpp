#include "tests/support/test_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <process.h>
#define VELMORA_PROCESS_ID _getpid
#else
#include <unistd.h>
#define VELMORA_PROCESS_ID getpid
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir =
        fs::temp_directory_path() / ("velmora-test-" + std::to_string(VELMORA_PROCESS_ID()) + "-" +
                                     std::to_string(stamp) + "-" + std::to_string(counter++));
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
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
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

void PutLe32(Bytes& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void PutLe16(Bytes& b, size_t offset, uint16_t v) {
    b[offset] = static_cast<uint8_t>(v);
    b[offset + 1] = static_cast<uint8_t>(v >> 8);
}

uint32_t GetLe32(const Bytes& b, size_t offset) {
    return uint32_t{b[offset]} | uint32_t{b[offset + 1]} << 8 | uint32_t{b[offset + 2]} << 16 |
           uint32_t{b[offset + 3]} << 24;
}

Bytes Altered(Bytes file, size_t at, int bits, uint32_t value) {
    if (bits == 0) {
        file.resize(at);
    } else if (bits == 16) {
        PutLe16(file, at, static_cast<uint16_t>(value));
    } else {
        PutLe32(file, at, value);
    }
    return file;
}

void ColourAt(int32_t x, int32_t y, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(17 * x + 3 * y + 1);
    rgb[1] = static_cast<uint8_t>(5 * x + 29 * y + 2);
    rgb[2] = static_cast<uint8_t>(11 * x + 7 * y + 3);
}

Bytes MakeBmp(int32_t width, int32_t height) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    Bytes b(54 + stride * static_cast<size_t>(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 2, static_cast<uint32_t>(b.size()));
    PutLe32(b, 10, 54);
    PutLe32(b, 14, 40);
    PutLe32(b, 18, static_cast<uint32_t>(width));
    PutLe32(b, 22, static_cast<uint32_t>(height));
    PutLe16(b, 26, 1);
    PutLe16(b, 28, 24);
    for (int32_t r = 0; r < height; ++r) {
        uint8_t* row = &b[54 + static_cast<size_t>(r) * stride];
        for (size_t i = static_cast<size_t>(width) * 3; i < stride; ++i) {
            row[i] = 0xEE;
        }
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            ColourAt(x, height - 1 - r, rgb);
            row[3 * x + 0] = rgb[2];
            row[3 * x + 1] = rgb[1];
            row[3 * x + 2] = rgb[0];
        }
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

uint8_t FourthByte(const PixelImage& image, int32_t x, int32_t y) {
    return image.RowPixels(y)[static_cast<size_t>(x) * kBytesPerPixel + 3];
}

void SetFourthByte(PixelImage& image, int32_t x, int32_t y, uint8_t value) {
    image.RowPixels(y)[static_cast<size_t>(x) * kBytesPerPixel + 3] = value;
}

void MarkFourthBytes(PixelImage& image) {
    for (int32_t y = 0; y < image.GetHeight(); ++y) {
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            SetFourthByte(image, x, y, static_cast<uint8_t>(0x80 | ((x * 7 + y * 13) & 0x7F)));
        }
    }
}

ImageSnapshot Snapshot(const PixelImage& image) {
    ImageSnapshot s;
    s.width = image.GetWidth();
    s.height = image.GetHeight();
    if (image.GetHeader() != nullptr) {
        s.header.assign(image.GetHeader(), image.GetHeader() + kInfoHeaderSize);
    }
    if (image.GetPixels() != nullptr) {
        const size_t n =
            static_cast<size_t>(s.width) * static_cast<size_t>(s.height) * kBytesPerPixel;
        s.pixels.assign(image.GetPixels(), image.GetPixels() + n);
    }
    return s;
}

// tmpfile() is not used: the Windows C runtime makes its files in the drive's root under names
// that other test processes running at the same moment can take, and then it returns null.
CliRun RunCapturing(CliEntry entry, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"velmora-cli"};
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    argv.push_back(nullptr);
    CliRun run;
    ScratchDir streams;
    std::FILE* out = std::fopen(streams.Path("stdout").c_str(), "w+b");
    std::FILE* err = std::fopen(streams.Path("stderr").c_str(), "w+b");
    if (out != nullptr && err != nullptr) {
        run.code = entry(static_cast<int>(argv.size() - 1), argv.data(), out, err);
    }
    for (std::FILE* f : {out, err}) {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
    for (auto [name, text] : {std::pair{"stdout", &run.out}, std::pair{"stderr", &run.err}}) {
        const Bytes bytes = ReadFileBytes(streams.Path(name));
        for (uint8_t b : bytes) {
            if (b != '\r') {
                text->push_back(static_cast<char>(b));
            }
        }
    }
    return run;
}
