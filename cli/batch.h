// velmora-cli over many files: add-all, spread over worker threads.
#pragma once

#include <cstdio>

// velmora-cli add-all, the handler of its row in the command table (cli.h), on the count words
// after its name. Exits as exit_codes.h says: kExitInterrupted when Ctrl+C stopped it.
int RunAddAll(const char* const* words, int count, std::FILE* out, std::FILE* err);
