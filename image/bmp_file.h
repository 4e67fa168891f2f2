// Uncompressed 24-bit BMP files: the program's only file format.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Decodes a whole BMP file held in memory; the file road above ends here.
bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error = nullptr);

// Writes the image as a 24-bit bottom-up BMP with a 54-byte header. The old file at the path,
// if any, survives every failure untouched. *reason as for LoadBmp.
bool SaveBmp(const PixelImage& image, const char* path, BmpError* error = nullptr,
             SystemReason* reason = nullptr);
