// velmora-cli over many files: add-all, spread over worker threads.
#pragma once

#include <cstdio>

#include "image/bmp_file.h"

// An add-all stopped by Ctrl+C: the shells' own code for an interrupted command.
constexpr int kExitInterrupted = 130;

// velmora-cli add-all R G B --to DIR | --in-place [-j N] [--quiet] FILE...; argv[1] is "add-all".
// Exit 0 when every file is done, 1 when any failed, 2 when the arguments are refused (then
// nothing is written).
int RunAddAll(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
