// The console and the process as velmora-cli meets them, which differ by system:
// console_win32.cpp on Windows, console_posix.cpp elsewhere.
#pragma once

#include <atomic>
#include <cstdio>

// Without this the Windows C library would turn every 0x0A of the picture into 0x0D 0x0A on
// the way out and stop reading at the first 0x1A on the way in. Elsewhere streams are binary.
void MakeBinary(std::FILE* stream);

bool IsTerminal(std::FILE* stream);

// For its life, Ctrl+C (and a closing console or SIGTERM) only sets *stop: ending at once would
// strand the staged temporary files of a whole group. One at a time.
class InterruptGuard {
  public:
    explicit InterruptGuard(std::atomic<bool>* stop);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};
