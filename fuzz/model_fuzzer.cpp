// Every input is read as a clipboard block and as a BMP file, in memory and from a file, each held
// against its model; the streamed add of the file must write what the way through the image does.
#include <cstdlib>

#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchDir dir;
    if (!Mismatch(Bytes(data, data + size), dir.Path("in.bmp")).empty())
        std::abort();
    return 0;
}
