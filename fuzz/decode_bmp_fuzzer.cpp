// Hostile BMP bytes through the in-memory decoder that every file load ends in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "image/bmp_file.h"
#include "image/pixel_addition.h"

namespace {

PixelImage& Image() {
    static PixelImage image;
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PixelImage& image = Image();
    fuzz::StartImage(image);
    const fuzz::Snapshot before = fuzz::Take(image);

    BmpError error = BmpError::kNone;
    const bool accepted = DecodeBmp(image, data, size, &error);

    // The verdict the file deserves, reached independently of the decoder.
    bool deserved = size >= 30;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t offset = 0;
    if (deserved) {
        offset = fuzz::Le32(data + 10);
        width = static_cast<int32_t>(fuzz::Le32(data + 18));
        height = static_cast<int32_t>(fuzz::Le32(data + 22));
        deserved = fuzz::Le16(data + 28) == 24 && width >= 1 && height >= 1 &&
                   fuzz::Fits(offset, fuzz::Stride24(width), uint64_t(height), size) &&
                   fuzz::Holdable(width, height);
    }
    FUZZ_CHECK(accepted == deserved);

    if (!accepted) {
        FUZZ_CHECK(error != BmpError::kNone);
        FUZZ_CHECK(fuzz::Unchanged(image, before));
        return 0;
    }
    FUZZ_CHECK(error == BmpError::kNone);
    FUZZ_CHECK(image.GetWidth() == width && image.GetHeight() == height);
    fuzz::CheckImageHeader(image);
    const uint64_t stride = fuzz::Stride24(width);
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = data + offset + uint64_t(r) * stride;
        const uint8_t* px = image.GetPixels() + size_t(height - 1 - r) * size_t(width) * 4;
        for (int32_t x = 0; x < width; ++x, px += 4) {
            FUZZ_CHECK(px[0] == row[3 * x] && px[1] == row[3 * x + 1] && px[2] == row[3 * x + 2]);
            FUZZ_CHECK(px[3] == 0);
        }
    }

    // Where the bytes take the offsets in place, they must end as the road through the image
    // would write them.
    std::vector<uint8_t> bytes(data, data + size);
    const AdjustSettings settings{int32_t(size % 513) - 256, 100, -37, 1};
    if (AddToSavedFormBmp(bytes.data(), size, settings)) {
        AddToWholeImage(image, settings);
        BmpBuffer encoded;
        size_t length = 0;
        FUZZ_CHECK(EncodeBmp(image, encoded, &length) && length == size &&
                   std::memcmp(encoded.block, bytes.data(), size) == 0);
        ReleaseBmpBuffer(encoded);
    }
    return 0;
}
