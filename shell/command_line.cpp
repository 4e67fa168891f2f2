#include "shell/command_line.h"

#include <cstring>

namespace {

// Removes one double quote at the start (moving the rest left) and then one at the end, in
// place. Quotes inside the text stay.
void StripOneQuoteEachEnd(char* text) {
    size_t length = std::strlen(text);
    if (length > 0 && text[0] == '"') {
        std::memmove(text, text + 1, length);  // the terminator moves along
        --length;
    }
    if (length > 0 && text[length - 1] == '"') {
        text[length - 1] = '\0';
    }
}

}  // namespace

const char* CommandLineTail(const char* commandLine) {
    if (commandLine == nullptr) {
        return "";
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            // The second byte of a two-byte character may be any value from 0x40, so it is
            // stepped over unseen; a lead byte right before the terminator steps only once.
            if (IsCp932LeadByte(*p) && p[1] != '\0') {
                ++p;
            }
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p > 0x20) {
            ++p;
        }
    }
    while (*p != '\0' && *p <= 0x20) {
        ++p;
    }
    return reinterpret_cast<const char*>(p);
}

bool CommandLinePath(const char* commandLine, char* path, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    path[0] = '\0';
    const char* tail = CommandLineTail(commandLine);
    const size_t length = std::strlen(tail);
    if (length == 0 || length >= capacity) {
        return false;
    }
    std::memcpy(path, tail, length + 1);
    StripOneQuoteEachEnd(path);
    return true;
}
