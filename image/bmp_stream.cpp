// The BMP codec's streamed ways: a load, and the streamed add, that take a file's rows a block
// at a time, from a file or from a reader such as a pipe, so that neither holds the file whole.
#include <algorithm>
#include <cstring>
#include <functional>

#include "image/answer.h"
#include "image/bmp_file.h"
#include "image/bmp_file_internal.h"
#include "image/pixel_addition.h"
#include "image/platform.h"

namespace {

// Rows go through in blocks of this size: few calls to the system, and a block stays in the
// processor's cache from its read through the addition to its write.
constexpr size_t kStreamBlockBytes = size_t{1} << 20;

// What a failed step tells the caller: the core's verdict and the system's reason.
bool AnswerFailure(BmpError* error, SystemReason* reason, BmpError why,
                   const FileFailure& failure) {
    Answer(reason, failure.reason);
    return Answer(error, why);
}

// Where a file's bytes come from: a file, read at any position, or a reader, read once in order.
// A reader's first bytes are kept, since an offset inside the headers starts the rows among them.
struct ByteSource {
    InputFile file;
    const ByteReader* reader = nullptr;
    size_t blockBytes = kStreamBlockBytes;
    const std::function<void()>* beforeRead = nullptr;
    uint8_t head[kMinReadableLength] = {};
    size_t headLength = 0;
    uint64_t position = 0;  // bytes taken from the reader so far
};

bool TakeFromReader(ByteSource& source, uint8_t* data, size_t length, size_t* got,
                    FileFailure* failure) {
    *got = 0;
    if (!source.reader->read(source.reader->context, data, length, got)) {
        return Answer(failure, FileFailure{FileError::kCannotOpen, SystemReason::kNone});
    }
    source.position += *got;
    return true;
}

// Up to length bytes from position at; *got falls short only at the source's end. A reader is
// asked only for positions inside its kept head or at and past those it has given.
bool ReadSource(ByteSource& source, uint64_t at, uint8_t* data, size_t length, size_t* got,
                FileFailure* failure) {
    if (source.reader == nullptr) {
        return PlatformReadAt(source.file, at, data, length, got, failure);
    }
    *got = 0;
    size_t kept = 0;
    if (at < source.headLength) {
        kept = std::min(length, source.headLength - static_cast<size_t>(at));
        std::memcpy(data, source.head + at, kept);
    }
    // Bytes between the headers and the rows are read over, through the caller's buffer.
    while (source.position < at) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(at - source.position, length));
        size_t skipped = 0;
        if (!TakeFromReader(source, data, want, &skipped, failure)) {
            return false;
        }
        if (skipped < want) {
            return true;  // the source ended before the rows began
        }
    }
    size_t taken = 0;
    if (kept < length && !TakeFromReader(source, data + kept, length - kept, &taken, failure)) {
        return false;
    }
    *got = kept + taken;
    return true;
}

// Whether a file is opened for the reader alone, so that no other program changes it meanwhile.
enum class Holding { kShared, kAlone };

// Opens the input and judges its header; a reader's length is known only at its end, so the
// reads of its rows tell whether they fit. On success a file stays open for its rows.
bool OpenSource(const BmpInput& in, Holding holding, ByteSource* source, BmpLayout* layout,
                BmpError* error, SystemReason* reason) {
    Answer(reason, SystemReason::kNone);
    FileFailure failure;
    source->reader = in.path == nullptr ? in.reader : nullptr;
    if (in.blocks != nullptr) {
        source->blockBytes = in.blocks->blockBytes;
        source->beforeRead = &in.blocks->beforeRead;
    }
    const bool alone = holding == Holding::kAlone;
    if (source->reader == nullptr &&
        (in.path == nullptr || !PlatformOpenInput(in.path, &source->file, &failure, alone))) {
        return AnswerFailure(error, reason, BmpError::kCannotOpen, failure);
    }
    size_t got = 0;
    if (!ReadSource(*source, 0, source->head, sizeof source->head, &got, &failure)) {
        return AnswerFailure(error, reason, BmpError::kCannotOpen, failure);
    }
    source->headLength = got;
    const uint64_t length = source->reader != nullptr ? UINT64_MAX : source->file.length;
    return CheckBmpHeader(source->head, got, length, layout, error);
}

// Reads a reader to its end. A failure anywhere in it refuses the file: a verdict stands on
// every byte of the input, those past the rows too.
bool FinishSource(ByteSource& source, bool ok, BmpError* error, SystemReason* reason) {
    PlatformCloseInput(&source.file);
    if (source.reader == nullptr) {
        return ok;
    }
    uint8_t scratch[16384];
    FileFailure failure;
    // No further than a file could be long past where the drain begins: an endless input is
    // refused as too large, as when the whole input was gathered first.
    const uint64_t end = source.position + kMaxBmpInput;
    for (size_t got = sizeof scratch; got == sizeof scratch;) {
        if (source.position >= end) {
            return AnswerFailure(error, reason, BmpError::kTooLarge, FileFailure{});
        }
        if (!TakeFromReader(source, scratch, sizeof scratch, &got, &failure)) {
            return AnswerFailure(error, reason, BmpError::kCannotOpen, failure);
        }
    }
    return ok;
}

// Walks the checked rows, from the pixel data offset on, through the buffer: rows no longer
// than a block go whole rows at a time, a longer row in pieces of a whole number of pixels.
// span(bytes, length, row, column) gets each piece of one row (row counted from the file's
// first, column the piece's first byte in it); block(bytes, length) each block after its pieces.
template <typename Span, typename Block>
bool WalkRows(ByteSource& source, const BmpLayout& rows, uint8_t* buffer, size_t blockBytes,
              Span span, Block block, BmpError* error, SystemReason* reason) {
    const uint64_t total = rows.stride * static_cast<uint64_t>(rows.height);  // fits: checked
    const uint64_t rowsPerBlock = blockBytes / rows.stride;
    const uint64_t piece = blockBytes / 3 * 3;
    FileFailure failure;
    for (uint64_t done = 0; done < total;) {
        const uint64_t column = done % rows.stride;
        const size_t length = static_cast<size_t>(
            rowsPerBlock > 0 ? std::min(rowsPerBlock * rows.stride, total - done)
                             : std::min(piece, rows.stride - column));
        if (source.beforeRead != nullptr && *source.beforeRead) {
            (*source.beforeRead)();
        }
        size_t got = 0;
        if (!ReadSource(source, rows.offset + done, buffer, length, &got, &failure)) {
            return AnswerFailure(error, reason, BmpError::kCannotOpen, failure);
        }
        if (got < length) {  // a reader's input was short, or the file shrank since it was judged
            return Answer(error, BmpError::kTruncated);
        }
        for (size_t at = 0; at < length;) {
            const uint64_t inRow = (column + at) % rows.stride;
            const size_t bytes =
                static_cast<size_t>(std::min<uint64_t>(length - at, rows.stride - inRow));
            span(buffer + at, bytes, (done + at) / rows.stride, inRow);
            at += bytes;
        }
        if (!block(buffer, length)) {
            return false;
        }
        done += length;
    }
    return true;
}

// How many whole pixels a piece of a row holds: a piece starts on a pixel, and the fill bytes
// at the row's end are never pixels.
size_t PixelsIn(const BmpLayout& rows, uint64_t column, size_t bytes) {
    const uint64_t pixelEnd = std::min<uint64_t>(column + bytes, uint64_t(rows.width) * 3);
    return static_cast<size_t>(column < pixelEnd ? (pixelEnd - column) / 3 : 0);
}

// The buffer for the blocks: no longer than the rows, which may be short.
bool ReserveBlocks(const BmpLayout& rows, size_t blockBytes, BmpBuffer& buffer, size_t* size) {
    *size = static_cast<size_t>(
        std::min<uint64_t>(std::max<size_t>(blockBytes, 3), rows.stride * uint64_t(rows.height)));
    return PlatformReserve(&buffer.block, &buffer.capacity, *size);
}

// The checked rows into fresh, bottom row first. A picture too large for memory is told apart
// from a short file as a file's length tells them: a reader's rows are read all the same. A
// reader's header is believed before its rows are counted, so a short one still has its block
// taken; only the pages that its rows reach are touched.
bool ReadRowsInto(ByteSource& source, const BmpLayout& rows, PixelImage& fresh, BmpError* error,
                  SystemReason* reason) {
    BmpBuffer buffer;
    size_t size = 0;
    const auto ignore = [](const uint8_t*, size_t) { return true; };
    if (!ReserveBlocks(rows, source.blockBytes, buffer, &size)) {
        return Answer(error, BmpError::kTooLarge);
    }
    if (!fresh.Create(rows.width, rows.height)) {
        const auto skip = [](const uint8_t*, size_t, uint64_t, uint64_t) {};
        const bool whole = source.reader == nullptr ||
                           WalkRows(source, rows, buffer.block, size, skip, ignore, error, reason);
        ReleaseBmpBuffer(buffer);
        return whole && Answer(error, BmpError::kTooLarge);
    }
    const auto decode = [&](const uint8_t* bytes, size_t length, uint64_t row, uint64_t column) {
        uint8_t* pixels = fresh.RowPixels(rows.height - 1 - static_cast<int32_t>(row));
        DecodeBmpRow(bytes, pixels + column / 3 * kBytesPerPixel,
                     static_cast<int32_t>(PixelsIn(rows, column, length)));
    };
    const bool ok = WalkRows(source, rows, buffer.block, size, decode, ignore, error, reason);
    ReleaseBmpBuffer(buffer);
    return ok;
}

// An output being written: a staged file, or a writer.
struct ByteSink {
    StagedFile staged;
    const ByteWriter* writer = nullptr;
};

bool WriteSink(ByteSink& sink, const uint8_t* data, size_t length, FileFailure* failure) {
    if (sink.writer == nullptr) {
        return PlatformWriteStaged(&sink.staged, data, length, failure);
    }
    return sink.writer->write(sink.writer->context, data, length) ||
           Answer(failure, FileFailure{FileError::kCannotWrite, SystemReason::kNone});
}

// The header SaveBmp would write, then the rows, each block read, added to and written in turn:
// each row's pixels take the offsets and its fill bytes become 0, as EncodeBmp writes them.
bool EditRowsThrough(ByteSource& source, const BmpLayout& rows, const AdjustSettings& settings,
                     BmpBuffer& buffer, size_t blockBytes, ByteSink& sink, BmpError* error,
                     SystemReason* reason) {
    const uint64_t rowBytes = rows.stride * static_cast<uint64_t>(rows.height);
    uint8_t header[kWrittenHeaderSize];
    WriteSavedHeader(header, rows.width, rows.height, kWrittenHeaderSize + rowBytes);
    FileFailure failure;
    const auto editSpan = [&](uint8_t* bytes, size_t length, uint64_t, uint64_t column) {
        const size_t pixels = PixelsIn(rows, column, length);
        AddToPackedPixels(bytes, pixels, settings);
        std::memset(bytes + pixels * 3, 0, length - pixels * 3);
    };
    // The header goes out with the first block, so that a pipe found short within it leaves
    // nothing written.
    bool headed = false;
    const auto write = [&](const uint8_t* bytes, size_t length) {
        const bool ok = (headed || WriteSink(sink, header, kWrittenHeaderSize, &failure)) &&
                        WriteSink(sink, bytes, length, &failure);
        headed = true;
        return ok || AnswerFailure(error, reason, BmpError::kCannotWrite, failure);
    };
    return WalkRows(source, rows, buffer.block, blockBytes, editSpan, write, error, reason);
}

// Judges the input, begins the output and streams the rows into it; the output is left for the
// caller to commit or abandon (sink.staged.handle tells whether a file was begun).
bool StageStreamed(const BmpInput& in, const BmpOutput& out, const AdjustSettings& settings,
                   BmpBuffer& buffer, ByteSource& source, ByteSink& sink, BmpError* error,
                   SystemReason* reason) {
    if (out.path == nullptr && out.writer == nullptr) {
        return Answer(error, BmpError::kCannotWrite);
    }
    BmpLayout rows;
    if (!OpenSource(in, Holding::kShared, &source, &rows, error, reason)) {
        return false;
    }
    // Every refusal the file's header could earn has been made; from here on only the system
    // (or a reader's length) can fail the save. Every size fits 64 bits: 3 x 2^31 bytes a row,
    // 2^31 rows.
    size_t size = 0;
    FileFailure failure;
    sink.writer = out.path == nullptr ? out.writer : nullptr;
    if (!ReserveBlocks(rows, source.blockBytes, buffer, &size)) {
        return Answer(error, BmpError::kTooLarge);
    }
    if (sink.writer == nullptr && !PlatformBeginStaged(out.path, &sink.staged, &failure)) {
        return AnswerFailure(error, reason, BmpError::kCannotWrite, failure);
    }
    return EditRowsThrough(source, rows, settings, buffer, size, sink, error, reason);
}

}  // namespace

bool ReadBmpLayout(const char* path, BmpLayout* layout, BmpError* error, SystemReason* reason) {
    ByteSource source;
    BmpInput in;
    in.path = path;
    const bool ok = OpenSource(in, Holding::kShared, &source, layout, error, reason);
    PlatformCloseInput(&source.file);
    return ok;
}

bool LoadBmpFrom(PixelImage& image, const BmpInput& in, BmpError* error, SystemReason* reason) {
    ByteSource source;
    BmpLayout rows;
    ScopedImage fresh;
    // Alone, as the file was always opened for a load: no other program changes it meanwhile.
    bool ok = OpenSource(in, Holding::kAlone, &source, &rows, error, reason);
    // A load takes no file past the core's ceiling, whatever its header says, as when loads
    // read the file whole.
    if (source.reader == nullptr && source.file.length > kMaxBmpInput) {
        Answer(reason, SystemReason::kNone);
        ok = Answer(error, BmpError::kTooLarge);
    }
    ok = ok && ReadRowsInto(source, rows, fresh.image, error, reason);
    ok = FinishSource(source, ok, error, reason);
    if (ok) {
        image.Swap(fresh.image);
    }
    return ok;
}

bool LoadBmp(PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    BmpInput in;
    in.path = path;
    return LoadBmpFrom(image, in, error, reason);
}

bool StageStreamedBmp(const char* inPath, const char* outPath, const AdjustSettings& settings,
                      BmpBuffer& buffer, StagedFile* staged, BmpError* error,
                      SystemReason* reason) {
    BmpInput in;
    in.path = inPath;
    BmpOutput out;
    out.path = outPath;
    ByteSource source;
    ByteSink sink;
    const bool ok = StageStreamed(in, out, settings, buffer, source, sink, error, reason);
    PlatformCloseInput(&source.file);
    if (!ok) {
        PlatformAbandonStaged(&sink.staged);
    }
    *staged = sink.staged;
    return ok;
}

bool StreamBmp(const BmpInput& in, const BmpOutput& out, const AdjustSettings& settings,
               BmpError* error, SystemReason* reason) {
    BmpBuffer buffer;
    ByteSource source;
    ByteSink sink;
    bool ok = StageStreamed(in, out, settings, buffer, source, sink, error, reason);
    ReleaseBmpBuffer(buffer);
    ok = FinishSource(source, ok, error, reason);
    if (!ok || sink.writer != nullptr) {
        PlatformAbandonStaged(&sink.staged);
        return ok;
    }
    FileFailure committed;
    PlatformCommitStaged(&sink.staged, 1, &committed);
    return committed.error == FileError::kNone ||
           AnswerFailure(error, reason, BmpError::kCannotWrite, committed);
}
