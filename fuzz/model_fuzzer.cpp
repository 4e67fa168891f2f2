// Every input is read as a clipboard block and as a BMP file, each held against its model.
#include <cstdlib>

#include "tests/support/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Mismatch(Bytes(data, data + size)).empty())
        std::abort();
    return 0;
}
