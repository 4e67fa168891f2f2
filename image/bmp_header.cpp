// The headers: the one check every way of reading a file goes through, and the header a save
// writes.
#include <cstring>

#include "image/answer.h"
#include "image/bmp_file_internal.h"
#include "image/byte_order.h"

bool CheckBmpHeader(const uint8_t* head, size_t headLength, uint64_t length, BmpLayout* layout,
                    BmpError* error) {
    if (head == nullptr || headLength < kMinReadableLength) {
        return Answer(error, BmpError::kNotBmp24);
    }
    const uint32_t offset = ReadLe32(head + 10);  // offset 10: where the first pixel row begins
    const int32_t width = static_cast<int32_t>(ReadLe32(head + 18));   // offset 18: width
    const int32_t height = static_cast<int32_t>(ReadLe32(head + 22));  // offset 22: height
    const uint16_t bitsPerPixel = ReadLe16(head + 28);                 // offset 28: bit depth
    // Magic, file size, header size, planes, compression and colour counts are not consulted:
    // the offset steps over any header version, colour table or masks before the rows, 24-bit
    // rows come uncompressed from the writers in use, and a file whose magic or size field is
    // wrong still loads when its rows are there.
    if (bitsPerPixel != 24) {
        return Answer(error, BmpError::kNotBmp24);
    }
    if (width < 1 || height < 1) {
        return Answer(error, BmpError::kBadSize);
    }
    const uint64_t stride = static_cast<uint64_t>(RowStride(width));
    if (offset > length || !RowsFit(stride, height, length - offset)) {
        return Answer(error, BmpError::kTruncated);
    }
    *layout = BmpLayout{offset, stride, width, height};
    return Answer(error, BmpError::kNone, true);
}

void WriteSavedHeader(uint8_t* file, int32_t width, int32_t height, uint64_t fileSize) {
    std::memset(file, 0, kWrittenHeaderSize);
    WriteLe16(file + 0, 0x4D42);  // magic "BM"
    WriteLe32(file + 2, fileSize <= UINT32_MAX ? static_cast<uint32_t>(fileSize) : 0);
    WriteLe32(file + 10, static_cast<uint32_t>(kWrittenHeaderSize));  // pixel data offset
    WriteInfoHeader(file + kFileHeaderSize, width, height, 24);       // bottom row first
}
