// A whole file held in memory, read at once.
#include "image/answer.h"
#include "image/bmp_file_internal.h"

bool DecodeBmp(PixelImage& image, const uint8_t* data, size_t length, BmpError* error) {
    BmpLayout rows;
    if (!CheckBmpHeader(data, length, length, &rows, error)) {
        return false;
    }
    if (!image.Create(rows.width, rows.height)) {
        return Answer(error, BmpError::kTooLarge);
    }
    const uint8_t* row = data + rows.offset;
    for (int32_t r = 0; r < rows.height; ++r, row += rows.stride) {
        DecodeBmpRow(row, image.RowPixels(rows.height - 1 - r), rows.width);  // bottom first
    }
    return Answer(error, BmpError::kNone, true);
}
