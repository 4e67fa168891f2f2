// velmora-cli: the window's pixel addition for batch work and scripts.
#pragma once

#include <cstdio>

// Exit codes: 0 done, 1 a file could not be loaded or saved, 2 the arguments are wrong.
constexpr int kExitOk = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
