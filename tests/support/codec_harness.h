// Every way of reading a file, and the streamed add, held against the models at once.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "image/bmp_file_internal.h"
#include "image/clipboard_dib.h"
#include "tests/support/models.h"

// A pipe's two ends over memory, read in 48-byte blocks; the reader fails once it has given
// failAt bytes.
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
    ReadBlocks blocks{48, {}};
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
    const BmpInput in{nullptr, &reader, &blocks};
    const BmpOutput out{nullptr, &writer};
};

// WriteDibBlock's output over 0xAB bytes, so a byte it skips shows.
inline Bytes DibOf(const PixelImage& image) {
    Bytes block(DibBlockSize(image), 0xAB);
    WriteDibBlock(image, block.data());
    return block;
}

// A way's answers in words, so that a mismatch shows them beside the model's.
inline std::string Said(bool taken, BmpError error, SystemReason reason, const std::string& rest) {
    return (taken ? "taken, " : "refused, ") + std::string(DescribeBmpError(error)) + ", reason " +
           std::to_string(int(reason)) + ", " + rest;
}

// The image way's bytes, or its verdict with the old OUT kept; in small blocks. Pipes: read to
// the end, and nothing written for one short within its first block, over half a block.
inline std::string StreamedMismatch(const Bytes& input, const std::string& path, PixelImage& image,
                                    BmpError verdict) {
    const AdjustSettings settings{int32_t(input.size() % 513) - 256, 100, -37, 1};
    const std::string out = path + ".out";
    // One buffer for every call, as a batch keeps one: a wider picture encoded before must leave
    // no byte in a narrower one's fill.
    static BmpBuffer want;
    size_t length = 0;
    AddToWholeImage(image, settings);
    EncodeBmp(image, want, &length);
    const bool accept = verdict == BmpError::kNone;
    const Bytes wanted = accept ? Bytes(want.block, want.block + length) : Bytes{'o', 'l', 'd'};
    const ReadBlocks blocks{input.size() < 4096 ? 48u : 4096u, {}};
    const auto folder = fs::path(path).parent_path();
    fs::remove(out);
    if (!accept)  // replacing an OUT would cost a flush a case
        WriteFileBytes(out, wanted);
    const auto files = std::distance(fs::directory_iterator(folder), {}) + accept;
    const auto tally = [](size_t read, ptrdiff_t left) {
        return ", read " + std::to_string(read) + ", files " + std::to_string(left);
    };
    const std::string model =
        Said(accept, verdict, SystemReason::kNone, "out as wanted" + tally(input.size(), files));
    const bool cutLate = verdict == BmpError::kTruncated && input.size() > blocks.blockBytes / 2;
    const size_t limit = cutLate ? input.size() + 54 : 0;  // a short pipe's first block
    for (bool piped : {false, true}) {
        BmpError error = BmpError::kCannotWrite;
        SystemReason reason = SystemReason::kDiskFull;  // what a readable file has none of
        PipeEnds ends(input);
        ends.blocks = blocks;
        const BmpInput in{path.c_str(), nullptr, &blocks};
        const BmpOutput to{out.c_str(), nullptr};
        const bool done = piped ? StreamBmp(ends.in, ends.out, settings, &error, &reason)
                                : StreamBmp(in, to, settings, &error, &reason);
        const Bytes got = piped ? ends.written : ReadFileBytes(out);
        const bool asWanted = got == wanted || (piped && !accept && got.size() <= limit);
        const auto left = piped ? files : std::distance(fs::directory_iterator(folder), {});
        const std::string said = Said(done, error, reason,
                                      (asWanted ? "out as wanted" : "out differs") +
                                          tally(piped ? ends.at : input.size(), left));
        if (said != model)
            return (piped ? "streamed pipes: " : "streamed: ") + said + "; want " + model;
    }
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
        const bool accept = way == 0 ? block : expected == BmpError::kNone;
        // Answers no reader would give: the clipboard's gives no error, the memory's no reason.
        BmpError error = way == 0 ? expected : BmpError::kCannotWrite;
        SystemReason reason = way >= 2 ? SystemReason::kDiskFull : SystemReason::kNone;
        PipeEnds ends(input);
        ends.failAt = way == 3 ? input.size() : SIZE_MAX;
        const bool read = way == 0   ? ReadDibBlock(s.image, exact.get(), input.size())
                          : way == 1 ? DecodeBmp(s.image, exact.get(), input.size(), &error)
                          : way < 4  ? LoadBmpFrom(s.image, ends.in, &error, &reason)
                                     : LoadBmp(s.image, path.c_str(), &error, &reason);
        const Picture got = Capture(s.image);
        const Picture want = read ? (way ? bmp : dib) : before;
        const bool same = got == want;  // first, so that Describe names the first difference
        const size_t taken = way == 2 ? ends.at : input.size();  // a pipe is read to its end
        const std::string said =
            Said(read, error, reason, Describe(got) + ", read " + std::to_string(taken));
        const std::string model = Said(accept, expected, SystemReason::kNone,
                                       Describe(want) + ", read " + std::to_string(input.size()));
        if (!same || said != model)
            return ways[way] + ", " + std::to_string(input.size()) + " bytes: " + said + "; want " +
                   model;
    }
    return path.empty() ? "" : StreamedMismatch(input, path, s.image, verdict);
}
