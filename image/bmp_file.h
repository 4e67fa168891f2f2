// Uncompressed 24-bit BMP files: the program's only file format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "image/system_reason.h"

// Byte length of one 24-bit pixel row: width x 3 rounded up to a multiple of 4. The result is
// 64-bit so a huge width cannot overflow it; a width below 1 gives 0.
inline int64_t RowStride(int32_t width) {
    return width < 1 ? 0 : ((int64_t{width} * 3 + 3) / 4) * 4;
}

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
bool LoadBmp(PixelImage& image, const char* path, BmpError* error = nullptr,
             SystemReason* reason = nullptr);

// A file-sized block kept by a caller that works through many files, so that no file costs a
// fresh block from the system; it grows to the largest file seen. ReleaseBmpBuffer frees it.
struct BmpBuffer {
    uint8_t* block = nullptr;
    size_t capacity = 0;
};
void ReleaseBmpBuffer(BmpBuffer& buffer);

// The reading half of LoadBmp: the whole file into the buffer, *length bytes, with LoadBmp's
// errors and reasons; DecodeBmp or AddToSavedFormBmp takes it from there.
bool ReadBmpFile(const char* path, BmpBuffer& buffer, size_t* length, BmpError* error,
                 SystemReason* reason);

// When the file is exactly what SaveBmp writes for its size (the 54-byte header, zero fill
// bytes, nothing after the rows), adds the offsets to its pixels where they lie and returns
// true: the bytes are then what loading, AddToWholeImage and saving would give, at a fraction of
// the cost. Any other file is left untouched, for the full road through an image.
bool AddToSavedFormBmp(uint8_t* data, size_t length, const AdjustSettings& settings);

// Decodes a whole BMP file held in memory; the file road above ends here.
bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error = nullptr);

// Writes the image as a 24-bit bottom-up BMP with a 54-byte header. The old file at the path,
// if any, survives every failure untouched. *reason as for LoadBmp.
bool SaveBmp(const PixelImage& image, const char* path, BmpError* error = nullptr,
             SystemReason* reason = nullptr);

// Builds in the buffer the whole file SaveBmp writes, *length bytes, for writers other than a
// plain save (standard output, a batch's grouped saves).
bool EncodeBmp(const PixelImage& image, BmpBuffer& buffer, size_t* length,
               BmpError* error = nullptr);
