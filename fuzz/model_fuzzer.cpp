// One input in four also goes through a file and the streamed add (15 times slower).
#include <cstdlib>

#include "tests/support/codec_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchDir dir;
    if (!Mismatch(Bytes(data, data + size), size % 4 ? std::string() : dir.Path("in.bmp")).empty())
        std::abort();
    return 0;
}
