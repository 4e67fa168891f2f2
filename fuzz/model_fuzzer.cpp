// Every input is read as a BMP file and as a clipboard block; each verdict and picture must be the
// model's, and a refusal leaves the image as it was.
#include <cstdlib>

#include "image/clipboard_dib.h"
#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PixelImage image;
    for (bool block : {false, true}) {
        Scramble(image, uint32_t(size));
        Picture want = Capture(image);
        const bool accepted =
            block ? ReadDibBlock(image, data, size) : DecodeBmp(image, data, size);
        const Bytes input(data, data + size);
        if (accepted !=
                (block ? ModelDib(input, &want) : ModelBmp(input, &want) == BmpError::kNone) ||
            !(Capture(image) == want))
            std::abort();
    }
    return 0;
}
