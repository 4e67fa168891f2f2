// Every way of reading a file, and the streamed add, held against the models at once.
#pragma once

#include "image/bmp_file_internal.h"
#include "image/clipboard_dib.h"
#include "tests/support/models.h"

// WriteDibBlock's output over 0xAB bytes, so a byte it skips shows.
inline Bytes DibOf(const PixelImage& image) {
    Bytes block(DibBlockSize(image), 0xAB);
    WriteDibBlock(image, block.data());
    return block;
}

// A pipe's two ends over memory; the reader fails once it has given failAt bytes.
struct PipeEnds {
    PipeEnds(const Bytes& input, size_t failAfter) : bytes(input), failAt(failAfter) {}
    static bool Read(void* context, uint8_t* data, size_t length, size_t* got) {
        auto* p = static_cast<PipeEnds*>(context);
        *got = std::min(length, p->bytes.size() - p->at);
        std::copy_n(p->bytes.begin() + ptrdiff_t(p->at), *got, data);
        p->at += *got;
        return p->at < p->failAt;
    }
    static bool Write(void* context, const uint8_t* data, size_t length) {
        auto& sink = static_cast<PipeEnds*>(context)->written;
        sink.insert(sink.end(), data, data + length);
        return true;
    }
    const Bytes& bytes;
    size_t failAt;
    size_t at = 0;
    Bytes written;
    const ByteReader reader{Read, this};
    const ByteWriter writer{Write, this};
};

inline std::string Said(bool taken, BmpError error, SystemReason reason, const std::string& out,
                        size_t read) {
    return (taken ? "taken, " : "refused, ") + std::string(DescribeBmpError(error)) + ", reason " +
           std::to_string(int(reason)) + ", " + out + ", read " + std::to_string(read);
}

// What differs from the models, or "": the input as a clipboard block, as a BMP in memory and
// from a pipe read to its end, and given a path alone in its folder, from the file and through
// the streamed add from the file and from a pipe, which writes nothing for an input short within
// its first block, over half a block. A refused add keeps the old OUT.
inline std::string Mismatch(const Bytes& input, const std::string& path = "") {
    const Bytes exact = input;  // no spare capacity for a reader to overrun unseen
    Picture dib, bmp;
    const bool block = ModelDib(input, &dib);
    const BmpError verdict = ModelBmp(input, &bmp);
    const bool accept = verdict == BmpError::kNone;
    const std::string out = path + ".out";
    const Bytes old{'o', 'l', 'd'};
    if (!path.empty()) {
        fs::remove(out);
        if (!WriteFileBytes(path, input) || !(accept || WriteFileBytes(out, old)))
            return "no file";
    }
    static ScopedImage s;  // one for all calls: a fuzzer's call makes no 128² block
    // One buffer for every call, as a batch keeps one: a wider picture encoded before must leave
    // no byte in a narrower one's fill.
    static BmpBuffer encoded;
    Bytes wanted = old;
    const AdjustSettings settings{int32_t(input.size() % 513) - 256, 100, -37, 1};
    const ReadBlocks blocks{input.size() < 4096 ? 48u : 4096u, {}};
    const bool cutLate = verdict == BmpError::kTruncated && input.size() > blocks.blockBytes / 2;
    // A pipe's header is believed before its rows are counted: keep its block in fuzzing bounds.
    const bool huge = input.size() >= 30 && ImageBlockSize(int32_t(GetLe32(input, 18)),
                                                           int32_t(GetLe32(input, 22))) > 1 << 25;
    const fs::path folder = fs::path(path).parent_path();
    static const std::string ways[] = {"clipboard", "memory",   "pipe",         "failing pipe",
                                       "file",      "streamed", "streamed pipe"};
    for (int way = 0; way < (path.empty() ? 4 : 7); ++way) {
        if (huge && (way == 2 || way == 3))
            continue;
        const BmpError expected = way == 3 ? BmpError::kCannotOpen : verdict;
        // Answers no reader would give: the clipboard's gives no error, the memory's no reason.
        BmpError error = way == 0 ? expected : BmpError::kCannotWrite;
        SystemReason reason = way >= 2 ? SystemReason::kDiskFull : SystemReason::kNone;
        PipeEnds ends(input, way == 3 ? input.size() : SIZE_MAX);
        const BmpInput in{way == 4 || way == 5 ? path.c_str() : nullptr, &ends.reader, &blocks};
        bool taken = false;
        std::string got;
        if (way < 5) {
            Scramble(s.image, uint32_t(input.size() + way));
            const Picture before = Capture(s.image);
            taken = way == 0   ? ReadDibBlock(s.image, exact.data(), input.size())
                    : way == 1 ? DecodeBmp(s.image, exact.data(), input.size(), &error)
                               : LoadBmpFrom(s.image, in, &error, &reason);
            const Picture& model = taken ? (way ? bmp : dib) : before;
            got = Capture(s.image) == model ? "as wanted" : "picture differs";
        } else {
            if (way == 5) {  // the picture the file gave, or the old one it kept, added to
                size_t length = 0;
                AddToWholeImage(s.image, settings);
                EncodeBmp(s.image, encoded, &length);
                wanted = accept ? Bytes(encoded.block, encoded.block + length) : old;
            }
            const BmpOutput to{way == 5 ? out.c_str() : nullptr, &ends.writer};
            taken = StreamBmp(in, to, settings, &error, &reason);
            const Bytes written = way == 6 ? ends.written : ReadFileBytes(out);
            const bool cut = !accept && written.size() <= (cutLate ? input.size() + 54 : 0);
            const bool alone = std::distance(fs::directory_iterator(folder), {}) == 2;
            got = (written == wanted || (way == 6 && cut)) && alone ? "as wanted" : "out differs";
        }
        const bool piped = way == 2 || way == 3 || way == 6;
        const std::string said = Said(taken, error, reason, got, piped ? ends.at : input.size());
        const std::string model = Said(way == 0 ? block : expected == BmpError::kNone, expected,
                                       SystemReason::kNone, "as wanted", input.size());
        if (said != model)
            return ways[way] + ": " + said + "; want " + model;
    }
    return "";
}
