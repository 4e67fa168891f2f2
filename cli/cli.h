// velmora-cli: the window's pixel addition for batch work and scripts.
#pragma once

#include <cstdio>

#include "cli/exit_codes.h"

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
