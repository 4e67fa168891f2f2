// Every input is read as a clipboard block and as a BMP file, each held against its model; where
// the bytes take the offsets in place, they must end as the road through the image writes them.
#include <cstdlib>
#include <cstring>

#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Mismatch(Bytes(data, data + size)).empty())
        std::abort();
    Bytes bytes(data, data + size);
    const AdjustSettings settings{int32_t(size % 513) - 256, 100, -37, 1};
    if (AddToSavedFormBmp(bytes.data(), size, settings)) {
        ScopedImage s;
        BmpBuffer encoded;
        size_t length = 0;
        if (!DecodeBmp(s.image, data, size))
            std::abort();
        AddToWholeImage(s.image, settings);
        if (!EncodeBmp(s.image, encoded, &length) || length != size ||
            std::memcmp(encoded.block, bytes.data(), size) != 0)
            std::abort();
        ReleaseBmpBuffer(encoded);
    }
    return 0;
}
