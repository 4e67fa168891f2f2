// Every input is read both as a BMP file and as a clipboard block, and each verdict and picture
// must be the model's; a refusal leaves the image as it was.
#include <cstdlib>

#include "image/clipboard_dib.h"
#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PixelImage image;
    const Bytes input(data, data + size);
    for (bool block : {false, true}) {
        Scramble(image, uint32_t(size));
        const Picture before = Capture(image);
        Picture want;
        const bool deserved =
            block ? ModelDib(input, &want) : ModelBmp(input, &want) == BmpError::kNone;
        const bool accepted =
            block ? ReadDibBlock(image, data, size) : DecodeBmp(image, data, size);
        if (accepted != deserved || !(Capture(image) == (accepted ? want : before))) {
            std::abort();
        }
    }
    return 0;
}
