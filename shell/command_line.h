// The command-line tail: the text after the program's own name, as the start-up code of the
// system's runtime hands it to the entry. Pure byte logic with no system calls, so it builds
// and is tested on every platform.
#pragma once

#include <cstddef>

// True for a first byte of a two-byte character in code page 932 (Shift-JIS).
inline bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Skips the program's name and the blanks after it and returns where the tail starts, inside
// commandLine. A name in double quotes ends at the next quote, and a two-byte character's second
// byte is never taken for that quote; an unquoted name ends at the first byte 0x01..0x20.
// A null commandLine gives the empty string.
const char* CommandLineTail(const char* commandLine);

// Copies the tail of commandLine into path (capacity bytes, terminator included) with one
// quote removed at each end. Refuses, leaving path empty, when the tail is empty or does not
// fit; a refused tail is never cut short into some other, shorter path.
bool CommandLinePath(const char* commandLine, char* path, size_t capacity);
