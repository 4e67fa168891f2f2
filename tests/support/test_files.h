// Scratch files, inputs built byte by byte, and the models the core is held to.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "image/bmp_file_internal.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

struct ScratchDir {
    ScratchDir() {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name = std::to_string(stamp) + "-" + std::to_string(counter++);
        root = (fs::temp_directory_path() / ("velmora-test-" + name)).string();
        fs::create_directories(root);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root, ignored);
    }
    std::string Path(const std::string& name) const { return (fs::path(root) / name).string(); }
    std::string root;
};
// Works in a folder until it goes, even when a failed assertion ends the test early.
struct WorkingIn {
    explicit WorkingIn(const std::string& dir) : was(fs::current_path()) { fs::current_path(dir); }
    ~WorkingIn() { fs::current_path(was); }
    fs::path was;
};

inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    return bool(out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void PutLe32(Bytes& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = uint8_t(v >> (8 * i));
}

inline uint32_t GetLe32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// Pixel (x, y) of MakeBmp's and MakeDib's bottom-up pictures. Header bytes past 40: 0xDD,
// fourth bytes 0x80 | (8x + y), fill bytes `fill`, so a reader taking them shows.
inline void ColourAt(int32_t x, int32_t y, uint8_t rgb[3]) {
    rgb[0] = uint8_t(17 * x + 3 * y + 1);
    rgb[1] = uint8_t(5 * x + 29 * y + 2);
    rgb[2] = uint8_t(11 * x + 7 * y + 3);
}

inline Bytes MakeDib(int32_t width, int32_t height, uint16_t bits, uint32_t headerSize = 40,
                     uint32_t compression = 0, uint8_t fill = 0xEE) {
    const bool masks = bits == 32 && headerSize == 40 && compression == 3;
    const size_t head = headerSize + (masks ? 12 : 0);
    const size_t stride = (size_t(width) * bits / 8 + 3) / 4 * 4;
    Bytes b(head + stride * height, fill);
    std::fill(b.begin(), b.begin() + head, 0xDD);
    const uint32_t fields[] = {headerSize, uint32_t(width), uint32_t(height), 1u | bits << 16,
                               compression};
    for (size_t at = 0; at < 40; at += 4)
        PutLe32(b, at, at < 20 ? fields[at / 4] : 0);
    for (uint32_t i = 0; masks && i < 3; ++i)
        PutLe32(b, 40 + 4 * i, 0xFF0000u >> (8 * i));
    for (int32_t i = 0; i < width * height; ++i) {
        const int32_t x = i % width;
        const int32_t y = i / width;
        uint8_t px[4] = {0, 0, 0, uint8_t(0x80 | (x * 8 + y))};
        ColourAt(x, y, px);
        std::reverse(px, px + 3);
        std::copy(px, px + bits / 8, &b[head + (height - 1 - y) * stride + x * bits / 8]);
    }
    return b;
}

inline Bytes MakeBmp(int32_t width, int32_t height, uint8_t fill = 0xEE, uint32_t infoSize = 40) {
    Bytes b = MakeDib(width, height, 24, infoSize, 0, fill);
    b.insert(b.begin(), 14, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 10, 14 + infoSize);
    PutLe32(b, 2, uint32_t(b.size()));
    return b;
}

// Every byte, fourth ones too; a channel takes all 256 values in any 256 pixels.
inline void Scramble(PixelImage& image, uint32_t seed) {
    for (size_t i = 0; i < size_t(image.GetWidth()) * image.GetHeight() * 4; ++i)
        image.RowPixels(0)[i] = uint8_t(i / 4 * (i % 4 * 2 + 1) * 37 + seed * (i % 4 + 3));
}

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

inline Picture Capture(const PixelImage& image) {
    const size_t end =
        image.GetHeader() ? 40 + size_t(image.GetWidth()) * image.GetHeight() * 4 : 0;
    return {image.GetWidth(), image.GetHeight(), Bytes(image.GetHeader(), image.GetHeader() + end)};
}

inline Picture Blank(int32_t width, int32_t height) {
    Picture p{width, height, MakeDib(width, height, 32, 40, 0, 0)};
    std::fill(p.block.begin() + 40, p.block.end(), 0);
    PutLe32(p.block, 8, -height);
    return p;
}

// The verdicts, in 64 bits straight from the headers, and the rows they read.
inline void ModelRows(const Bytes& in, uint64_t offset, uint64_t stride, int bytes, Picture* out) {
    for (int64_t i = 0; i < int64_t{out->width} * out->height; ++i) {
        const uint8_t* px =
            &in[offset + (out->height - 1 - i / out->width) * stride + i % out->width * bytes];
        std::copy(px, px + bytes, out->At(i % out->width, i / out->width));
    }
}

inline BmpError ModelBmp(const Bytes& f, Picture* out) {
    if (f.size() < 30 || (f[28] | f[29] << 8) != 24)
        return BmpError::kNotBmp24;
    const int64_t width = int32_t(GetLe32(f, 18));
    const int64_t height = int32_t(GetLe32(f, 22));
    if (width < 1 || height < 1)
        return BmpError::kBadSize;
    const uint64_t offset = GetLe32(f, 10);
    const uint64_t stride = (width * 3 + 3) / 4 * 4;
    if (offset + stride * height > f.size())
        return BmpError::kTruncated;
    *out = Blank(int32_t(width), int32_t(height));
    ModelRows(f, offset, stride, 3, out);
    return BmpError::kNone;
}

inline bool ModelDib(const Bytes& b, Picture* out) {
    if (b.size() < 40)
        return false;
    const int bits = b[14] | b[15] << 8;
    const int64_t width = int32_t(GetLe32(b, 4));
    const int64_t height = int32_t(GetLe32(b, 8));
    const bool masks = bits == 32 && GetLe32(b, 0) == 40 && GetLe32(b, 16) == 3;
    const uint64_t offset = uint64_t{GetLe32(b, 0)} + (masks ? 12 : 0) + GetLe32(b, 32) * 4ull;
    const uint64_t stride = bits == 32 ? width * 4 : (width * 3 + 3) / 4 * 4;
    // Divided: the widest image's rows times the tallest would pass 64 bits.
    if ((bits != 24 && bits != 32) || width < 1 || height < 1 || offset > b.size() ||
        uint64_t(height) > (b.size() - offset) / stride)
        return false;
    *out = Blank(int32_t(width), int32_t(height));
    ModelRows(b, offset, stride, bits / 8, out);
    return true;
}

// Each channel plus its offset, clamped to 0..255; the fourth byte kept.
inline void ModelAdd(Picture& p, int64_t x, int64_t y, const AdjustSettings& s) {
    const int64_t offsets[3] = {s.blue, s.green, s.red};
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return;
    for (int c = 0; c < 3; ++c)
        p.At(x, y)[c] = uint8_t(std::clamp<int64_t>(p.At(x, y)[c] + offsets[c], 0, 255));
}

inline void ModelStamp(Picture& p, const AdjustSettings& s, int32_t x, int32_t y) {
    const int64_t n = s.penSize;
    for (int64_t i = 0; i < n * n; ++i)
        ModelAdd(p, x - n / 2 + i % n, y - n / 2 + i / n, s);
}

// A pipe's two ends over memory; the reader fails once it has given failAt bytes.
struct PipeEnds {
    explicit PipeEnds(const Bytes& input) : bytes(input) {}
    static bool Read(void* context, uint8_t* data, size_t length, size_t* got) {
        auto* p = static_cast<PipeEnds*>(context);
        *got = std::min(length, p->bytes.size() - p->at);
        std::copy_n(p->bytes.begin() + ptrdiff_t(p->at), *got, data);
        p->at += *got;
        return p->at < p->failAt;
    }
    const Bytes& bytes;
    size_t at = 0;
    size_t failAt = SIZE_MAX;
    Bytes written;
    const ByteReader reader{Read, this};
    const ByteWriter writer{[](void* p, const uint8_t* data, size_t length) {
                                auto& sink = static_cast<PipeEnds*>(p)->written;
                                sink.insert(sink.end(), data, data + length);
                                return true;
                            },
                            this};
    const BmpInput in{nullptr, &reader};
    const BmpOutput out{nullptr, &writer};
};

// The image way's bytes, or its verdict with the old OUT kept; in 48-byte blocks. Pipes: read
// to the end, and nothing written for one short within its first block, over half a block.
inline std::string StreamedMismatch(const Bytes& input, const std::string& path, PixelImage& image,
                                    BmpError verdict) {
    const AdjustSettings settings{int32_t(input.size() % 513) - 256, 100, -37, 1};
    const std::string out = path + ".out";
    BmpBuffer want;
    size_t length = 0;
    AddToWholeImage(image, settings);
    EncodeBmp(image, want, &length);
    const bool accept = verdict == BmpError::kNone;
    const Bytes wanted = accept ? Bytes(want.block, want.block + length) : Bytes{'o', 'l', 'd'};
    ReleaseBmpBuffer(want);
    fs::remove(out);
    if (!accept)  // replacing an OUT would cost a flush a case
        WriteFileBytes(out, wanted);
    const auto folder = fs::path(path).parent_path();
    const auto files = std::distance(fs::directory_iterator(folder), {}) + accept;
    BmpError error = BmpError::kCannotWrite;
    SystemReason reason = SystemReason::kDiskFull;  // what a readable file has none of
    const size_t block = input.size() < 4096 ? 48 : 4096;
    const PixelSpanEdit edit{AddToPackedSpan, &settings};
    const BmpInput in{path.c_str(), nullptr};
    const BmpOutput to{out.c_str(), nullptr};
    if (StreamBmpInBlocks(in, to, edit, block, &error, &reason) != accept || error != verdict ||
        reason != SystemReason::kNone || ReadFileBytes(out) != wanted ||
        std::distance(fs::directory_iterator(folder), {}) != files)
        return "streamed, " + std::to_string(input.size()) + " bytes";
    PipeEnds ends(input);
    const bool cutLate = verdict == BmpError::kTruncated && input.size() > block / 2;
    if (StreamBmpInBlocks(ends.in, ends.out, edit, block, &error) != accept || error != verdict ||
        ends.at != input.size() ||
        (accept ? ends.written != wanted : ends.written.size() > (cutLate ? input.size() + 54 : 0)))
        return "streamed pipes, " + std::to_string(input.size()) + " bytes";
    return "";
}

// What differs from the models, or "": the input as a clipboard block, a BMP in memory, of its
// exact length, and from a pipe (in 48-byte blocks, read to its end), and given a path, as a
// file and through the streamed add.
inline std::string Mismatch(const Bytes& input, const std::string& path = "") {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[input.size() + 1]);
    std::copy(input.begin(), input.end(), exact.get());
    Picture dib, bmp;
    const bool block = ModelDib(input, &dib);
    const BmpError verdict = ModelBmp(input, &bmp);
    if (!path.empty() && !WriteFileBytes(path, input))
        return "no file";
    static ScopedImage s;  // one for all calls: a fuzzer's call makes no 128² block
    static const std::string ways[] = {"clipboard", "memory", "pipe", "failing pipe", "file"};
    // A pipe's header is believed before its rows are counted: keep its block in fuzzing bounds.
    const bool huge = input.size() >= 30 && ImageBlockSize(int32_t(GetLe32(input, 18)),
                                                           int32_t(GetLe32(input, 22))) > 1 << 25;
    for (int way = 0; way < (path.empty() ? 4 : 5); ++way) {
        if (huge && (way == 2 || way == 3))
            continue;
        s.image.Create(2, 3);
        Scramble(s.image, uint32_t(input.size()));
        const Picture before = Capture(s.image);
        const BmpError expected = way == 3 ? BmpError::kCannotOpen : verdict;
        BmpError error = BmpError::kCannotWrite;
        SystemReason reason = SystemReason::kDiskFull;  // none for a file that can be read
        PipeEnds ends(input);
        ends.failAt = way == 3 ? input.size() : SIZE_MAX;
        const bool read = way == 0   ? ReadDibBlock(s.image, exact.get(), input.size())
                          : way == 1 ? DecodeBmp(s.image, exact.get(), input.size(), &error)
                          : way < 4
                              ? LoadBmpInBlocks(s.image, ends.in, 48, nullptr, &error, &reason)
                              : LoadBmp(s.image, path.c_str(), &error, &reason);
        if (read != (way ? expected == BmpError::kNone : block) || (way && error != expected) ||
            (way >= 2 && reason != SystemReason::kNone) || (way == 2 && ends.at != input.size()) ||
            !(Capture(s.image) == (read ? (way ? bmp : dib) : before)))
            return ways[way] + ", " + std::to_string(input.size()) + " bytes";
    }
    return path.empty() ? "" : StreamedMismatch(input, path, s.image, verdict);
}
