#include "image/bmp_file.h"

#include <algorithm>
#include <cstring>

#include "image/bmp_file_internal.h"
#include "image/byte_order.h"
#include "image/platform.h"
#include "image/simd.h"
#include "image/store_reason.h"

namespace {

// The fixed layout of what SaveBmp writes: a 14-byte file header and a 40-byte info header.
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kWrittenHeaderSize = kFileHeaderSize + kInfoHeaderSize;  // 54
// The 54 bytes SaveBmp puts before the pixel rows; every byte is written, the reserved words
// too, so a buffer that held another file gets no stale byte from it. A file too long for the
// 32-bit size field gets 0 there, as no reader of ours consults it and no value would be true.
void WriteSavedHeader(uint8_t* file, int32_t width, int32_t height, uint64_t fileSize) {
    std::memset(file, 0, kWrittenHeaderSize);
    WriteLe16(file + 0, 0x4D42);  // magic "BM"
    WriteLe32(file + 2, fileSize <= UINT32_MAX ? static_cast<uint32_t>(fileSize) : 0);
    WriteLe32(file + 10, static_cast<uint32_t>(kWrittenHeaderSize));  // pixel data offset
    WriteInfoHeader(file + kFileHeaderSize, width, height, 24);       // bottom row first
}

// The last field LoadBmp reads is bits per pixel at offsets 28-29, so 30 bytes hold them all.
constexpr size_t kMinReadableLength = 30;

#if VELMORA_SSE2
// Masks over each 64-bit half of a vector: the first pixel of a half, and the second pixel of a
// half where it sits in 4-byte (image) layout.
inline __m128i FirstPixelOfHalf() {
    return _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
}
inline __m128i SecondPixelOfHalf() {
    return _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0);
}

// Four pixels (12 bytes) of a file row into 16 bytes of image pixels: each 8-byte load holds
// two whole pixels, and the second of them moves up one byte to make room for a zero fourth.
inline __m128i WidenFour(const uint8_t* file) {
    const __m128i v =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(file)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(file + 6)));
    return _mm_or_si128(_mm_and_si128(v, FirstPixelOfHalf()),
                        _mm_and_si128(_mm_slli_epi64(v, 8), SecondPixelOfHalf()));
}

// Four image pixels into their 12 file bytes, at the bottom of the vector; the top 4 bytes are 0.
inline __m128i NarrowFour(__m128i v) {
    const __m128i halves = _mm_or_si128(_mm_and_si128(v, FirstPixelOfHalf()),
                                        _mm_srli_epi64(_mm_and_si128(v, SecondPixelOfHalf()), 8));
    const __m128i lowHalf = _mm_set_epi32(0, 0, -1, -1);
    return _mm_or_si128(_mm_and_si128(halves, lowHalf),
                        _mm_srli_si128(_mm_andnot_si128(lowHalf, halves), 2));
}
#endif

}  // namespace

static void DecodeBmpRowPlain(const uint8_t* file, uint8_t* pixels, int32_t width) {
    for (int32_t x = 0; x < width; ++x, file += 3, pixels += kBytesPerPixel) {
        pixels[0] = file[0];  // blue
        pixels[1] = file[1];  // green
        pixels[2] = file[2];  // red
        pixels[3] = 0;
    }
}

void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width) {
    int32_t x = 0;
#if VELMORA_SSE2
    // The second load of a round reads two bytes past its four pixels, so a round runs only
    // while a fifth pixel follows in the row.
    for (; x + 5 <= width; x += 4, file += 12, pixels += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), WidenFour(file));
    }
#endif
    DecodeBmpRowPlain(file, pixels, width - x);
}

static void EncodeBmpRowPlain(const uint8_t* pixels, uint8_t* file, int32_t width) {
    for (int32_t x = 0; x < width; ++x, pixels += kBytesPerPixel, file += 3) {
        file[0] = pixels[0];
        file[1] = pixels[1];
        file[2] = pixels[2];
    }
}

void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width) {
    int32_t x = 0;
#if VELMORA_SSE2
    // Sixteen pixels make 48 file bytes, exactly three vectors: no store reaches past the row.
    for (; x + 16 <= width; x += 16, pixels += 64, file += 48) {
        const __m128i* in = reinterpret_cast<const __m128i*>(pixels);
        const __m128i a = NarrowFour(_mm_loadu_si128(in));
        const __m128i b = NarrowFour(_mm_loadu_si128(in + 1));
        const __m128i c = NarrowFour(_mm_loadu_si128(in + 2));
        const __m128i d = NarrowFour(_mm_loadu_si128(in + 3));
        __m128i* out = reinterpret_cast<__m128i*>(file);
        _mm_storeu_si128(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
#endif
    EncodeBmpRowPlain(pixels, file, width - x);
}

const char* DescribeBmpError(BmpError error) {
    switch (error) {
        case BmpError::kNone:
            return "no error";
        case BmpError::kCannotOpen:
            return "missing or unreadable";
        case BmpError::kNotBmp24:
            return "not a 24 bits per pixel BMP file";
        case BmpError::kBadSize:
            return "top-down or zero size";
        case BmpError::kTruncated:
            return "pixel data cut short";
        case BmpError::kTooLarge:
            return "too large for memory";
        case BmpError::kCannotWrite:
            return "cannot be written";
    }
    return "unknown error";
}

const char* DescribeBmpFailure(BmpError error, SystemReason reason) {
    switch (reason) {
        case SystemReason::kNone:
            break;
        case SystemReason::kNoFolder:
            return "no such folder";
        case SystemReason::kNoFile:
            return "no such file";
        case SystemReason::kDenied:
            return "permission denied";
        case SystemReason::kInUse:
            return "file in use";
        case SystemReason::kDiskFull:
            return "disk full";
        case SystemReason::kForeignLink:
            return "another user's link in a shared folder";
    }
    return DescribeBmpError(error);
}

bool CheckBmpHeader(const uint8_t* head, size_t headLength, uint64_t length, BmpLayout* layout,
                    BmpError* error) {
    if (head == nullptr || headLength < kMinReadableLength) {
        return StoreReason(error, BmpError::kNotBmp24);
    }
    const uint32_t offset = ReadLe32(head + 10);  // offset 10: where the first pixel row begins
    const int32_t width = static_cast<int32_t>(ReadLe32(head + 18));   // offset 18: width
    const int32_t height = static_cast<int32_t>(ReadLe32(head + 22));  // offset 22: height
    const uint16_t bitsPerPixel = ReadLe16(head + 28);                 // offset 28: bit depth
    // Magic, file size, header size, planes, compression and colour counts are not consulted.
    if (bitsPerPixel != 24) {
        return StoreReason(error, BmpError::kNotBmp24);
    }
    if (width < 1 || height < 1) {
        return StoreReason(error, BmpError::kBadSize);
    }
    const uint64_t stride = static_cast<uint64_t>(RowStride(width));
    // Divide rather than multiply: stride x height can exceed 64 bits for hostile headers.
    if (offset > length || stride > (length - offset) / static_cast<uint64_t>(height)) {
        return StoreReason(error, BmpError::kTruncated);
    }
    *layout = BmpLayout{offset, stride, width, height};
    return StoreReason(error, BmpError::kNone, true);
}

namespace {

// Checks the file's bytes and rebuilds the image from them, or leaves it as it was. Rows go
// over in bands; when the bytes are a block of the core's own (ownBlock), each band's bytes are
// handed back to the system as soon as it is done, so the image block, whose pages are first
// touched here, can be built from them: a large load then needs little more memory than its image.
bool Decode(PixelImage& image, const uint8_t* data, size_t length, BmpError* error, bool ownBlock) {
    BmpLayout rows;
    if (!CheckBmpHeader(data, length, length, &rows, error)) {
        return false;
    }
    if (!image.Create(rows.width, rows.height)) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    const uint64_t bandRows = std::max<uint64_t>(1, (uint64_t{8} << 20) / rows.stride);
    const uint8_t* row = data + rows.offset;
    for (int32_t begin = 0; begin < rows.height;) {
        const int32_t end = static_cast<int32_t>(
            std::min<uint64_t>(uint64_t(begin) + bandRows, uint64_t(rows.height)));
        for (int32_t r = begin; r < end; ++r, row += rows.stride) {
            DecodeBmpRow(row, image.RowPixels(rows.height - 1 - r), rows.width);  // bottom first
        }
        if (ownBlock) {
            PlatformDiscard(const_cast<uint8_t*>(data), static_cast<size_t>(row - data));
        }
        begin = end;
    }
    return StoreReason(error, BmpError::kNone, true);
}

// Rows go through in blocks of this size: few calls to the system, and a block stays in the
// processor's cache from its read through the addition to its write.
constexpr size_t kStreamBlockBytes = size_t{1} << 20;

}  // namespace

bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error) {
    return Decode(image, data, length, error, false);
}

void ReleaseBmpBuffer(BmpBuffer& buffer) {
    PlatformFree(buffer.block);
    buffer = BmpBuffer();
}

namespace {

// The whole file into the buffer, *length bytes, with LoadBmp's errors and reasons.
bool ReadBmpFile(const char* path, BmpBuffer& buffer, size_t* length, BmpError* error,
                 SystemReason* reason) {
    StoreReason(reason, SystemReason::kNone);
    if (path == nullptr) {
        return StoreReason(error, BmpError::kCannotOpen);
    }
    FileFailure failure;
    if (!PlatformReadWholeFile(path, kMaxBmpInput, &buffer.block, &buffer.capacity, length,
                               &failure)) {
        StoreReason(reason, failure.reason);
        return StoreReason(error, failure.error == FileError::kTooLarge ? BmpError::kTooLarge
                                                                        : BmpError::kCannotOpen);
    }
    return StoreReason(error, BmpError::kNone, true);
}

}  // namespace

bool LoadBmp(PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    BmpBuffer buffer;
    size_t length = 0;
    // The buffer is the load's own, so it is given back band by band as it is decoded.
    const bool ok = ReadBmpFile(path, buffer, &length, error, reason) &&
                    Decode(image, buffer.block, length, error, true);
    ReleaseBmpBuffer(buffer);
    return ok;
}

namespace {

// What a failed step of a streamed file tells the caller: the core's verdict and the system's
// reason.
bool Refuse(BmpError* error, SystemReason* reason, BmpError why, const FileFailure& failure) {
    StoreReason(reason, failure.reason);
    return StoreReason(error, why);
}

// Opens the file and checks its header against its length; on success the file stays open for
// its rows.
bool OpenBmpRows(const char* path, InputFile* in, BmpLayout* layout, BmpError* error,
                 SystemReason* reason) {
    StoreReason(reason, SystemReason::kNone);
    FileFailure failure;
    if (path == nullptr || !PlatformOpenInput(path, in, &failure)) {
        return Refuse(error, reason, BmpError::kCannotOpen, failure);
    }
    uint8_t head[kMinReadableLength];
    size_t got = 0;
    if (!PlatformReadAt(*in, 0, head, sizeof head, &got, &failure)) {
        PlatformCloseInput(in);
        return Refuse(error, reason, BmpError::kCannotOpen, failure);
    }
    if (!CheckBmpHeader(head, got, in->length, layout, error)) {
        PlatformCloseInput(in);
        return false;
    }
    return true;
}

// The rows of the checked file, from its pixel data offset on, through the buffer into the
// staged file: each block read, edited and written in turn. Rows no longer than a block go
// whole rows at a time; a longer row goes in pieces of a whole number of pixels. Each row's
// pixels are edited and its fill bytes become 0, as EncodeBmp writes them.
bool EditRowsThrough(const InputFile& in, const BmpLayout& rows, const PixelSpanEdit& edit,
                     BmpBuffer& buffer, size_t blockBytes, StagedFile* staged, BmpError* error,
                     SystemReason* reason) {
    const uint64_t total = rows.stride * static_cast<uint64_t>(rows.height);  // fits: checked
    const uint64_t pixelBytes = uint64_t(rows.width) * 3;
    const uint64_t rowsPerBlock = blockBytes / rows.stride;
    const uint64_t piece = blockBytes / 3 * 3;
    FileFailure failure;
    for (uint64_t done = 0; done < total;) {
        const uint64_t column = done % rows.stride;
        const size_t length = static_cast<size_t>(
            rowsPerBlock > 0 ? std::min(rowsPerBlock * rows.stride, total - done)
                             : std::min(piece, rows.stride - column));
        size_t got = 0;
        if (!PlatformReadAt(in, rows.offset + done, buffer.block, length, &got, &failure)) {
            return Refuse(error, reason, BmpError::kCannotOpen, failure);
        }
        if (got < length) {  // the file shrank since its length was taken
            return StoreReason(error, BmpError::kTruncated);
        }
        for (size_t at = 0; at < length;) {
            const uint64_t inRow = (column + at) % rows.stride;
            const size_t span =
                static_cast<size_t>(std::min<uint64_t>(length - at, rows.stride - inRow));
            // A span starts on a pixel, so its pixel bytes come in whole pixels; fill follows.
            const uint64_t pixelEnd = std::min<uint64_t>(inRow + span, pixelBytes);
            const size_t pixels =
                static_cast<size_t>(inRow < pixelEnd ? (pixelEnd - inRow) / 3 : 0);
            edit.edit(buffer.block + at, pixels, edit.context);
            std::memset(buffer.block + at + pixels * 3, 0, span - pixels * 3);
            at += span;
        }
        if (!PlatformWriteStaged(staged, buffer.block, length, &failure)) {
            return Refuse(error, reason, BmpError::kCannotWrite, failure);
        }
        done += length;
    }
    return true;
}

}  // namespace

bool ReadBmpLayout(const char* path, BmpLayout* layout, BmpError* error, SystemReason* reason) {
    InputFile in;
    if (!OpenBmpRows(path, &in, layout, error, reason)) {
        return false;
    }
    PlatformCloseInput(&in);
    return true;
}

namespace {

bool StageStreamedBmpInBlocks(const char* inPath, const char* outPath, const PixelSpanEdit& edit,
                              BmpBuffer& buffer, size_t blockBytes, StagedFile* staged,
                              BmpError* error, SystemReason* reason) {
    BmpLayout rows;
    InputFile in;
    if (outPath == nullptr) {
        return StoreReason(error, BmpError::kCannotWrite);
    }
    if (!OpenBmpRows(inPath, &in, &rows, error, reason)) {
        return false;
    }
    // Every refusal the file's bytes could earn has been made; from here on only the system
    // can fail the save. Every size below fits 64 bits: 3 x 2^31 bytes a row, 2^31 rows.
    const uint64_t rowBytes = rows.stride * static_cast<uint64_t>(rows.height);
    const size_t blockSize =
        static_cast<size_t>(std::min<uint64_t>(std::max<size_t>(blockBytes, 3), rowBytes));
    uint8_t header[kWrittenHeaderSize];
    WriteSavedHeader(header, rows.width, rows.height, kWrittenHeaderSize + rowBytes);
    FileFailure failure;
    bool ok = false;
    if (!PlatformReserve(&buffer.block, &buffer.capacity, blockSize)) {
        StoreReason(error, BmpError::kTooLarge);
    } else if (!PlatformBeginStaged(outPath, staged, &failure) ||
               !PlatformWriteStaged(staged, header, kWrittenHeaderSize, &failure)) {
        Refuse(error, reason, BmpError::kCannotWrite, failure);
    } else {
        ok = EditRowsThrough(in, rows, edit, buffer, blockSize, staged, error, reason);
    }
    PlatformCloseInput(&in);
    if (!ok) {
        PlatformAbandonStaged(staged);
    }
    return ok;
}

}  // namespace

bool StageStreamedBmp(const char* inPath, const char* outPath, const PixelSpanEdit& edit,
                      BmpBuffer& buffer, StagedFile* staged, BmpError* error,
                      SystemReason* reason) {
    return StageStreamedBmpInBlocks(inPath, outPath, edit, buffer, kStreamBlockBytes, staged, error,
                                    reason);
}

bool StreamBmpFileInBlocks(const char* inPath, const char* outPath, const PixelSpanEdit& edit,
                           size_t blockBytes, BmpError* error, SystemReason* reason) {
    BmpBuffer buffer;
    StagedFile staged;
    const bool ready =
        StageStreamedBmpInBlocks(inPath, outPath, edit, buffer, blockBytes, &staged, error, reason);
    ReleaseBmpBuffer(buffer);
    if (!ready) {
        return false;
    }
    FileFailure committed;
    PlatformCommitStaged(&staged, 1, &committed);
    return committed.error == FileError::kNone ||
           Refuse(error, reason, BmpError::kCannotWrite, committed);
}

bool StreamBmpFile(const char* inPath, const char* outPath, const PixelSpanEdit& edit,
                   BmpError* error, SystemReason* reason) {
    return StreamBmpFileInBlocks(inPath, outPath, edit, kStreamBlockBytes, error, reason);
}

bool EncodeBmp(const PixelImage& image, BmpBuffer& buffer, size_t* length, BmpError* error) {
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    const int64_t stride = RowStride(width);
    // The image block is at most 2 GiB at 4 bytes a pixel, so its 3-byte rows always fit here;
    // the test still guards the 32-bit file size field.
    const int64_t fileSize = int64_t{kWrittenHeaderSize} + stride * height;
    if (fileSize > INT32_MAX) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    const size_t size = static_cast<size_t>(fileSize);
    if (!PlatformReserve(&buffer.block, &buffer.capacity, size)) {
        return StoreReason(error, BmpError::kTooLarge);
    }
    uint8_t* file = buffer.block;
    WriteSavedHeader(file, width, height, fileSize);
    uint8_t* row = file + kWrittenHeaderSize;
    for (int32_t r = 0; r < height; ++r, row += stride) {
        EncodeBmpRow(image.RowPixels(height - 1 - r), row, width);  // the fill keeps its zeros
    }
    *length = size;
    return StoreReason(error, BmpError::kNone, true);
}

bool SaveBmp(const PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    StoreReason(reason, SystemReason::kNone);
    if (path == nullptr) {
        return StoreReason(error, BmpError::kCannotWrite);
    }
    BmpBuffer buffer;
    size_t length = 0;
    if (!EncodeBmp(image, buffer, &length, error)) {
        return false;
    }
    FileFailure failure;
    const bool ok = PlatformWriteWholeFile(path, buffer.block, length, &failure);
    ReleaseBmpBuffer(buffer);
    StoreReason(reason, failure.reason);
    return StoreReason(error, ok ? BmpError::kNone : BmpError::kCannotWrite, ok);
}
