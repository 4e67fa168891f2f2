// Hostile BMP bytes through a real file: the platform read, the decoder, and for every accepted
// picture a save and a load back, which must give the same picture and leave no stray file.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "image/bmp_file.h"

namespace {

struct Workspace {
    std::string dir;
    std::string in;
    std::string out;
};

void RemoveWorkspace();

// One private folder per fuzzing process, under VELMORA_FUZZ_TMP when the runner names a place
// it will clean up, else on a memory file system where there is one, since every save syncs.
const Workspace& Files() {
    static Workspace w = [] {
        Workspace made;
        const char* base = std::getenv("VELMORA_FUZZ_TMP");
        if (base == nullptr) {
            base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        }
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/velmora-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(&pattern[0]) != nullptr);
        made.dir = pattern;
        made.in = made.dir + "/in.bmp";
        made.out = made.dir + "/out.bmp";
        return made;
    }();
    static const int registered = std::atexit(RemoveWorkspace);
    (void)registered;
    return w;
}

void RemoveWorkspace() {
    const Workspace& w = Files();
    unlink(w.in.c_str());
    unlink(w.out.c_str());
    rmdir(w.dir.c_str());
}

// Names in the folder other than "." and "..": a save must never leave its temporary behind.
int EntryCount(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    FUZZ_CHECK(d != nullptr);
    int n = 0;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        n += name != "." && name != "..";
    }
    closedir(d);
    return n;
}

bool SamePixels(const PixelImage& a, const PixelImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
        return false;
    }
    for (int32_t y = 0; y < a.GetHeight(); ++y) {
        for (int32_t x = 0; x < a.GetWidth(); ++x) {
            if (a.GetRed(x, y) != b.GetRed(x, y) || a.GetGreen(x, y) != b.GetGreen(x, y) ||
                a.GetBlue(x, y) != b.GetBlue(x, y)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PixelImage loaded;
    static PixelImage decoded;
    static PixelImage reloaded;
    const Workspace& w = Files();

    std::FILE* f = std::fopen(w.in.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);

    fuzz::StartImage(loaded);
    const fuzz::Snapshot before = fuzz::Take(loaded);
    BmpError loadError = BmpError::kNone;
    const bool accepted = LoadBmp(loaded, w.in.c_str(), &loadError);

    // The file road must agree with the in-memory road on every input.
    fuzz::StartImage(decoded);
    BmpError decodeError = BmpError::kNone;
    FUZZ_CHECK(DecodeBmp(decoded, data, size, &decodeError) == accepted);
    FUZZ_CHECK(loadError == decodeError);
    if (!accepted) {
        FUZZ_CHECK(fuzz::Unchanged(loaded, before));
        FUZZ_CHECK(EntryCount(w.dir) == 1);
        return 0;
    }
    FUZZ_CHECK(fuzz::Take(loaded).block == fuzz::Take(decoded).block);

    FUZZ_CHECK(SaveBmp(loaded, w.out.c_str()));
    FUZZ_CHECK(EntryCount(w.dir) == 2);
    std::FILE* saved = std::fopen(w.out.c_str(), "rb");
    FUZZ_CHECK(saved != nullptr);
    std::fseek(saved, 0, SEEK_END);
    const long savedSize = std::ftell(saved);
    std::fclose(saved);
    FUZZ_CHECK(uint64_t(savedSize) ==
               54 + fuzz::Stride24(loaded.GetWidth()) * uint64_t(loaded.GetHeight()));
    fuzz::StartImage(reloaded);
    FUZZ_CHECK(LoadBmp(reloaded, w.out.c_str()));
    FUZZ_CHECK(SamePixels(loaded, reloaded));
    unlink(w.out.c_str());
    return 0;
}
