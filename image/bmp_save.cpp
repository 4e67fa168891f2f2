// The encoder: the whole file SaveBmp writes, built in memory and handed to a safe save.
#include "image/answer.h"
#include "image/bmp_file_internal.h"
#include "image/platform.h"

void ReleaseBmpBuffer(BmpBuffer& buffer) {
    PlatformFree(buffer.block);
    buffer = BmpBuffer();
}

bool EncodeBmp(const PixelImage& image, BmpBuffer& buffer, size_t* length, BmpError* error) {
    const int32_t width = image.GetWidth();
    const int32_t height = image.GetHeight();
    const int64_t stride = RowStride(width);
    // The image block is at most 2 GiB at 4 bytes a pixel, so its 3-byte rows always fit here;
    // the test still guards the 32-bit file size field.
    const int64_t fileSize = int64_t{kWrittenHeaderSize} + stride * height;
    if (fileSize > INT32_MAX) {
        return Answer(error, BmpError::kTooLarge);
    }
    const size_t size = static_cast<size_t>(fileSize);
    if (!PlatformReserve(&buffer.block, &buffer.capacity, size)) {
        return Answer(error, BmpError::kTooLarge);
    }
    WriteSavedHeader(buffer.block, width, height, fileSize);
    WriteBottomUpRows(image, buffer.block + kWrittenHeaderSize);
    *length = size;
    return Answer(error, BmpError::kNone, true);
}

bool SaveBmp(const PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    Answer(reason, SystemReason::kNone);
    if (path == nullptr) {
        return Answer(error, BmpError::kCannotWrite);
    }
    BmpBuffer buffer;
    size_t length = 0;
    if (!EncodeBmp(image, buffer, &length, error)) {
        return false;
    }
    FileFailure failure;
    const bool ok = PlatformWriteWholeFile(path, buffer.block, length, &failure);
    ReleaseBmpBuffer(buffer);
    Answer(reason, failure.reason);
    return Answer(error, ok ? BmpError::kNone : BmpError::kCannotWrite, ok);
}
