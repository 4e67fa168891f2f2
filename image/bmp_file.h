// Uncompressed 24-bit BMP files: the program's only file format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "image/platform.h"
#include "image/system_reason.h"

// Byte length of one 24-bit pixel row: width x 3 rounded up to a multiple of 4. The result is
// 64-bit so a huge width cannot overflow it; a width below 1 gives 0.
inline int64_t RowStride(int32_t width) {
    return width < 1 ? 0 : ((int64_t{width} * 3 + 3) / 4) * 4;
}

// The longest input a load takes, from a file or a pipe, and the most a pipe is read past a
// streamed add's rows; a longer one is refused as too large, whatever picture it holds.
constexpr size_t kMaxBmpInput = INT32_MAX;

// Why a load or save was refused, for callers that tell the user.
enum class BmpError {
    kNone,
    kCannotOpen,   // missing, unreadable or held open by another program
    kNotBmp24,     // too short to hold the headers, or bits per pixel other than 24
    kBadSize,      // width or height below 1 (top-down files have a negative height)
    kTruncated,    // the pixel rows do not fit in the file
    kTooLarge,     // more than the core's 2 GiB blocks can hold, or no memory for it
    kCannotWrite,  // the file could not be created or fully written; any old file is kept
};

const char* DescribeBmpError(BmpError error);
// What to tell the user: the system's reason when it gave one, otherwise the core's.
const char* DescribeBmpFailure(BmpError error, SystemReason reason);

// Loads the file into the image. A refused file leaves the image exactly as it was. *reason
// (when given) is the system's reason for a file that could not be read, kNone otherwise.
// The rows stream from the file into a new image, which takes the old one's place only when
// the whole picture has arrived: a load needs the two images and a MiB, never the file whole.
bool LoadBmp(PixelImage& image, const char* path, BmpError* error = nullptr,
             SystemReason* reason = nullptr);

// A source read once, from start to end, such as standard input: its length is known only at
// its end. read puts up to length bytes at data; *got falls short of length only at the end.
// False when the system fails the read.
struct ByteReader {
    bool (*read)(void* context, uint8_t* data, size_t length, size_t* got);
    void* context;
};
// A sink written once, in order, such as standard output; false when the system refuses.
struct ByteWriter {
    bool (*write)(void* context, const uint8_t* data, size_t length);
    void* context;
};
struct ReadBlocks;  // how a test has the rows read (bmp_file_internal.h)
// Where a file comes from: the file at path, or, without a path, the reader. A reader is read to
// its end whatever the verdict, so that a writer on its other side is never cut off, and a
// failure anywhere in it refuses the file with kCannotOpen, as a file that cannot be read.
struct BmpInput {
    const char* path = nullptr;
    const ByteReader* reader = nullptr;
    const ReadBlocks* blocks = nullptr;  // null everywhere but in tests: blocks of about a MiB
};
// Where a file goes: a new file at path, put in place only when whole, or, without a path, the
// writer, which has no way back: a file found short after its first MiB leaves that written.
struct BmpOutput {
    const char* path = nullptr;
    const ByteWriter* writer = nullptr;
};

// LoadBmp from either kind of input; a reader's verdicts are those of a file of the bytes it
// gives.
bool LoadBmpFrom(PixelImage& image, const BmpInput& in, BmpError* error = nullptr,
                 SystemReason* reason = nullptr);

// A block kept by a caller that works through many files, so that no file costs a fresh block
// from the system; it grows to the largest size asked of it. ReleaseBmpBuffer frees it.
struct BmpBuffer {
    uint8_t* block = nullptr;
    size_t capacity = 0;
};
void ReleaseBmpBuffer(BmpBuffer& buffer);

// Where the rows of a 24-bit file lie.
struct BmpLayout {
    uint64_t offset;  // of the first row in the file, the picture's bottom row
    uint64_t stride;
    int32_t width;
    int32_t height;
};

// Every refusal DecodeBmp makes, decided from the file's first headLength bytes (30 hold every
// field read) and its whole length, so that a file need not be read to be judged.
bool CheckBmpHeader(const uint8_t* head, size_t headLength, uint64_t length, BmpLayout* layout,
                    BmpError* error = nullptr);
// The same verdict for a file on disk, from its header and length alone: any size the header
// can give, past what an image can hold. *reason as for LoadBmp.
bool ReadBmpLayout(const char* path, BmpLayout* layout, BmpError* error = nullptr,
                   SystemReason* reason = nullptr);

// Decodes a whole BMP file held in memory.
bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error = nullptr);

// The input with the offsets added to its pixels, written to the output byte for byte as
// LoadBmp, AddToWholeImage and SaveBmp would write it, but streamed: the rows go through a buffer
// of about a MiB, whatever the picture's size, and any size the header can give is taken. The
// input is judged by its header before anything is written, a reader's by its length too once
// its rows have come; a file that fails leaves the output path as it was. Errors are LoadBmp's
// for the input and kCannotWrite for the output.
bool StreamBmp(const BmpInput& in, const BmpOutput& out, const AdjustSettings& settings,
               BmpError* error = nullptr, SystemReason* reason = nullptr);
// The same from file to file up to the commit, for a batch that commits files in groups: on
// success *staged waits for PlatformCommitStaged, and the buffer is kept for the next file.
bool StageStreamedBmp(const char* inPath, const char* outPath, const AdjustSettings& settings,
                      BmpBuffer& buffer, StagedFile* staged, BmpError* error, SystemReason* reason);

// Writes the image as a 24-bit bottom-up BMP with a 54-byte header. The old file at the path,
// if any, survives every failure untouched. *reason as for LoadBmp.
bool SaveBmp(const PixelImage& image, const char* path, BmpError* error = nullptr,
             SystemReason* reason = nullptr);

// Builds in the buffer the whole file SaveBmp writes, *length bytes, for writers other than a
// plain save (standard output). Every byte is written, so a buffer that held a larger picture
// leaves nothing of it in the file.
bool EncodeBmp(const PixelImage& image, BmpBuffer& buffer, size_t* length,
               BmpError* error = nullptr);
