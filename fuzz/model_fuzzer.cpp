// Every input is read as a clipboard block and a BMP file in memory, against the models; one in
// four also from a file and through the streamed add (files make a run fifteen times slower).
#include <cstdlib>

#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchDir dir;
    if (!Mismatch(Bytes(data, data + size), size % 4 ? std::string() : dir.Path("in.bmp")).empty())
        std::abort();
    return 0;
}
