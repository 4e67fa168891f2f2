// The image core's hot operations, each timed beside a memcpy of the same bytes in this same
// binary, so a figure reads as "so many memcpys" and carries over between machines.
//
// Every benchmark reports median_ms (the median iteration), memcpy_ms (the median of seven
// memcpys of the bytes named below, between blocks already in memory) and x_memcpy, their ratio.
//   pixel block (4 bytes a pixel): AddToWholeImage, the plain and per-pixel passes, Create
//   file bytes (54-byte header and padded 3-byte rows): DecodeBmp, LoadBmp, EncodeRows, SaveBmp
//   (to a new file) and SaveBmpOver (over an existing one)
//   the pen square (16 x 16 pixels): StampPen
// Files go to $VELMORA_BENCH_DIR, or /tmp, and are removed at the end.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "image/bmp_file.h"
#include "image/bmp_file_internal.h"
#include "image/pixel_addition.h"
#include "image/pixel_addition_internal.h"
#include "image/pixel_image.h"
#include "image/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

const AdjustSettings kSettings{37, -23, 200, 16};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A block from the allocator the image core uses, every page touched, so the memcpy pays for
// neither faults nor zeroing.
struct Block {
    explicit Block(size_t n) : size(n), bytes(static_cast<uint8_t*>(PlatformAllocZeroed(n))) {
        if (bytes == nullptr) {
            std::fprintf(stderr, "out of memory for %zu bytes\n", n);
            std::exit(1);
        }
        std::memset(bytes, 0x5C, n);
    }
    ~Block() { PlatformFree(bytes); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    size_t size;
    uint8_t* bytes;
};

// Median of seven memcpys of this many bytes; small sizes are timed 4096 at a time.
double MemcpySeconds(size_t bytes) {
    static std::map<size_t, double> known;
    const auto found = known.find(bytes);
    if (found != known.end()) {
        return found->second;
    }
    Block from(bytes), to(bytes);
    const int batch = bytes < (size_t{1} << 20) ? 4096 : 1;
    std::vector<double> times;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < batch; ++i) {
            std::memcpy(to.bytes, from.bytes, bytes);
            benchmark::ClobberMemory();
        }
        times.push_back(SecondsSince(start) / batch);
    }
    return known[bytes] = Median(times);
}

// Collects the time of each iteration and reports it as described at the top.
class Timing {
  public:
    Timing(benchmark::State& benchmarkState, size_t memcpyBytes)
        : state(benchmarkState), memcpySeconds(MemcpySeconds(memcpyBytes)) {}
    template <typename Work>
    void Time(Work work, int repeats = 1) {
        const auto start = Clock::now();
        work();
        benchmark::ClobberMemory();
        // The benchmark's own time is the whole iteration, so its iteration count stays sane;
        // the median is per repeat.
        const double seconds = SecondsSince(start);
        state.SetIterationTime(seconds);
        times.push_back(seconds / repeats);
    }
    ~Timing() {
        const double median = Median(times);
        state.counters["median_ms"] = median * 1e3;
        state.counters["memcpy_ms"] = memcpySeconds * 1e3;
        state.counters["x_memcpy"] = median / memcpySeconds;
    }

  private:
    benchmark::State& state;
    double memcpySeconds;
    std::vector<double> times;
};

int32_t Width(const benchmark::State& state) {
    return static_cast<int32_t>(state.range(0));
}
int32_t Height(const benchmark::State& state) {
    return static_cast<int32_t>(state.range(1));
}

size_t PixelBytes(int32_t w, int32_t h) {
    return size_t(w) * size_t(h) * kBytesPerPixel;
}
size_t FileBytes(int32_t w, int32_t h) {
    return 54 + size_t(RowStride(w)) * size_t(h);
}

// Noise in every byte, the fourth ones included, from a fast generator: photographs neither help
// nor hurt any of these loops, which do the same work whatever the values.
void FillNoise(PixelImage& image) {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint8_t* p = image.RowPixels(0);
    const size_t n = PixelBytes(image.GetWidth(), image.GetHeight());
    for (size_t i = 0; i + 8 <= n; i += 8) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        std::memcpy(p + i, &s, 8);
    }
}

// Gives a benchmark's own image its size and its noise, or ends the run.
void CreateNoise(PixelImage& image, int32_t w, int32_t h) {
    if (!image.Create(w, h)) {
        std::fprintf(stderr, "cannot create a %dx%d image\n", w, h);
        std::exit(1);
    }
    FillNoise(image);
}

// One saved BMP file of noise per size, written the first time a benchmark needs it.
class BenchFiles {
  public:
    ~BenchFiles() {
        for (const auto& entry : paths) {
            std::remove(entry.second.c_str());
        }
        for (const std::string& path : scratch) {
            std::remove(path.c_str());
        }
    }
    const std::string& Input(int32_t w, int32_t h) {
        const auto key = std::make_pair(w, h);
        auto found = paths.find(key);
        if (found != paths.end()) {
            return found->second;
        }
        const std::string path = Name("in", w, h);
        ScopedImage source;
        CreateNoise(source.image, w, h);
        if (!SaveBmp(source.image, path.c_str())) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        return paths[key] = path;
    }
    std::string Output(int32_t w, int32_t h) {
        scratch.push_back(Name("out", w, h));
        return scratch.back();
    }

  private:
    static std::string Name(const char* what, int32_t w, int32_t h) {
        const char* dir = std::getenv("VELMORA_BENCH_DIR");
        return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/velmora-bench-" +
               std::to_string(getpid()) + "-" + what + "-" + std::to_string(w) + "x" +
               std::to_string(h) + ".bmp";
    }
    std::map<std::pair<int32_t, int32_t>, std::string> paths;
    std::vector<std::string> scratch;
};

BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            bytes.clear();
        }
        std::fclose(f);
    }
    return bytes;
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = PixelBytes(Width(state), Height(state));
    Block from(bytes), to(bytes);
    Timing timing(state, bytes);
    for (auto _ : state) {
        timing.Time([&] { std::memcpy(to.bytes, from.bytes, bytes); });
    }
}

void BM_AddToWholeImage(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    Timing timing(state, PixelBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] { AddToWholeImage(b.image, kSettings); });
    }
}

void BM_AddToWholeImagePlain(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    Timing timing(state, PixelBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] { AddToWholeImagePlain(b.image, kSettings); });
    }
}

// The pass as first described: one bounds-tested AddToPixel call per pixel.
void BM_AddToPixelEachPixel(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    Timing timing(state, PixelBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] {
            for (int32_t y = 0; y < b.image.GetHeight(); ++y) {
                for (int32_t x = 0; x < b.image.GetWidth(); ++x) {
                    b.image.AddToPixel(x, y, kSettings.red, kSettings.green, kSettings.blue);
                }
            }
        });
    }
}

// Pen 16 dragged across the image a few pixels a stamp, as the mouse would; 256 stamps are timed
// together, and median_ms and x_memcpy are per stamp.
void BM_StampPen(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    Timing timing(state, 16 * 16 * kBytesPerPixel);
    const int kStamps = 256;
    int32_t x = 0, y = 0;
    for (auto _ : state) {
        timing.Time(
            [&] {
                for (int i = 0; i < kStamps; ++i) {
                    StampPen(b.image, kSettings, x, y);
                    x = (x + 3) % b.image.GetWidth();
                    y = (y + 2) % b.image.GetHeight();
                }
            },
            kStamps);
    }
}

// Create alone: the new block is zero without being written, so this is the price of asking.
void BM_Create(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, 1, 1);
    Timing timing(state, PixelBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] { b.image.Create(Width(state), Height(state)); });
    }
}

// Create, then one write to every 4 KiB of pixels: what a new block costs once it is used.
void BM_CreateAndTouch(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, 1, 1);
    const size_t bytes = PixelBytes(Width(state), Height(state));
    Timing timing(state, bytes);
    for (auto _ : state) {
        timing.Time([&] {
            b.image.Create(Width(state), Height(state));
            uint8_t* p = b.image.RowPixels(0);
            for (size_t i = 0; i < bytes; i += 4096) {
                p[i] = 1;
            }
        });
    }
}

// The same for a bare calloc block, the allocator the large blocks no longer come from.
void BM_CallocAndTouch(benchmark::State& state) {
    const size_t bytes = PixelBytes(Width(state), Height(state));
    Timing timing(state, bytes);
    for (auto _ : state) {
        uint8_t* p = nullptr;
        timing.Time([&] {
            p = static_cast<uint8_t*>(std::calloc(bytes, 1));
            for (size_t i = 0; i < bytes; i += 4096) {
                p[i] = 1;
            }
        });
        std::free(p);
    }
}

void BM_DecodeBmp(benchmark::State& state) {
    const std::vector<uint8_t> file = ReadWholeFile(Files().Input(Width(state), Height(state)));
    ScopedImage b;
    CreateNoise(b.image, 1, 1);
    Timing timing(state, file.size());
    for (auto _ : state) {
        timing.Time([&] { DecodeBmp(b.image, file.data(), file.size()); });
    }
}

void BM_LoadBmp(benchmark::State& state) {
    const std::string path = Files().Input(Width(state), Height(state));
    ScopedImage b;
    CreateNoise(b.image, 1, 1);
    Timing timing(state, FileBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] {
            if (!LoadBmp(b.image, path.c_str())) {
                state.SkipWithError("LoadBmp failed");
            }
        });
    }
}

// The conversion half of SaveBmp, into a file image already in memory.
void BM_EncodeRows(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    const int32_t w = Width(state), h = Height(state);
    Block file(FileBytes(w, h));
    Timing timing(state, file.size);
    for (auto _ : state) {
        timing.Time([&] { WriteBottomUpRows(b.image, file.bytes + 54); });
    }
}

void BM_SaveBmp(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    const std::string path = Files().Output(Width(state), Height(state));
    Timing timing(state, FileBytes(Width(state), Height(state)));
    for (auto _ : state) {
        // Each save makes a new file, as cv2.imwrite is timed doing: otherwise every iteration
        // would also pay for freeing the last one's disk blocks.
        std::remove(path.c_str());
        timing.Time([&] {
            if (!SaveBmp(b.image, path.c_str())) {
                state.SkipWithError("SaveBmp failed");
            }
        });
    }
}

// Saving over an existing file, which waits for the disk before the old file goes.
void BM_SaveBmpOver(benchmark::State& state) {
    ScopedImage b;
    CreateNoise(b.image, Width(state), Height(state));
    const std::string path = Files().Output(Width(state), Height(state));
    if (!SaveBmp(b.image, path.c_str())) {
        state.SkipWithError("SaveBmp failed");
        return;
    }
    Timing timing(state, FileBytes(Width(state), Height(state)));
    for (auto _ : state) {
        timing.Time([&] {
            if (!SaveBmp(b.image, path.c_str())) {
                state.SkipWithError("SaveBmp failed");
            }
        });
    }
}

// Discarding the front of a large block, and whether its pages really went back: Linux refills
// given-back pages with zeros, so the share of sampled bytes that read zero afterwards is reported.
void BM_DiscardReturnsPages(benchmark::State& state) {
    const size_t size = size_t{10} << 20;
    double returned = 0;
    for (auto _ : state) {
        auto* p = static_cast<uint8_t*>(PlatformAllocZeroed(size));
        std::memset(p, 0xC3, size);
        PlatformDiscard(p, SIZE_MAX);
        int zero = 0;
        for (size_t at : {size_t{4} << 20, size - 1}) {
            zero += p[at] == 0;
        }
        returned = zero / 2.0;
        PlatformFree(p);
    }
    state.counters["returned"] = returned;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({8192, 8192})->Args({1920, 1080});
    b->ArgNames({"w", "h"})->UseManualTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_AddToWholeImage)->Apply(Sizes);
BENCHMARK(BM_AddToWholeImagePlain)->Apply(Sizes);
BENCHMARK(BM_AddToPixelEachPixel)->Apply(Sizes);
BENCHMARK(BM_StampPen)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Create)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateAndTouch)->Apply(Sizes);
BENCHMARK(BM_CallocAndTouch)->Apply(Sizes);
BENCHMARK(BM_DecodeBmp)->Apply(Sizes);
BENCHMARK(BM_LoadBmp)->Apply(Sizes);
BENCHMARK(BM_EncodeRows)->Apply(Sizes);
BENCHMARK(BM_SaveBmp)->Apply(Sizes);
BENCHMARK(BM_SaveBmpOver)->Apply(Sizes);

BENCHMARK(BM_DiscardReturnsPages);

BENCHMARK_MAIN();
