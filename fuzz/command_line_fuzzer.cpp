// Hostile command lines through the start-up's tail logic: the first byte picks the capacity of
// the path buffer, the rest is the command line as the system would hand it over.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "shell/command_line.h"

namespace {

bool Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The tail by the rule as written: skip the program name (quoted, with two-byte characters
// stepped over whole, or up to the first byte 0x01..0x20), then the blanks after it.
size_t ExpectedTailStart(const std::string& line) {
    const auto at = [&](size_t i) { return i < line.size() ? (unsigned char)line[i] : 0u; };
    size_t i = 0;
    if (at(0) == '"') {
        for (i = 1; at(i) != 0 && at(i) != '"'; ++i) {
            if (Lead((unsigned char)at(i)) && at(i + 1) != 0) {
                ++i;
            }
        }
        if (at(i) == '"') {
            ++i;
        }
    } else {
        while (at(i) > 0x20) {
            ++i;
        }
    }
    while (at(i) != 0 && at(i) <= 0x20) {
        ++i;
    }
    return i;
}

std::string Stripped(std::string text) {
    if (!text.empty() && text.front() == '"') {
        text.erase(0, 1);
    }
    if (!text.empty() && text.back() == '"') {
        text.pop_back();
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t capacity = data[0];
    // The system's command line ends at its first zero byte.
    std::vector<char> line(data + 1, data + size);
    line.push_back('\0');
    const std::string text(line.data());

    const char* tail = CommandLineTail(line.data());
    FUZZ_CHECK(tail >= line.data() && tail <= line.data() + text.size());
    FUZZ_CHECK(size_t(tail - line.data()) == ExpectedTailStart(text));
    const std::string tailText(tail);

    // Exactly the capacity, on the heap, so one byte written past it is caught.
    std::vector<char> storage(capacity);
    char* path = capacity == 0 ? nullptr : storage.data();
    if (path != nullptr) {
        std::memset(path, 'x', capacity);
    }
    const bool taken = CommandLinePath(line.data(), path, capacity);
    const bool deserved = !tailText.empty() && tailText.size() < capacity;
    FUZZ_CHECK(taken == deserved);
    if (taken) {
        FUZZ_CHECK(std::string(path) == Stripped(tailText));
    } else if (capacity > 0) {
        FUZZ_CHECK(path[0] == '\0');
    }
    // The line itself is only read.
    FUZZ_CHECK(std::string(line.data()) == text);

    std::vector<char> inPlace(tailText.begin(), tailText.end());
    inPlace.push_back('\0');
    StripOneQuoteEachEnd(inPlace.data());
    FUZZ_CHECK(std::string(inPlace.data()) == Stripped(tailText));
    return 0;
}
