// velmora-cli over many files: add-all, spread over worker threads.
#pragma once

#include <cstdio>

// velmora-cli add-all, with its syntax in the command table (arguments.h); argv[1] is "add-all".
// Exits as exit_codes.h says: kExitInterrupted when Ctrl+C stopped it.
int RunAddAll(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
