// velmora-cli: the window's pixel addition for batch work and scripts.
#pragma once

#include <array>
#include <cstdio>

#include "cli/arguments.h"
#include "cli/exit_codes.h"

// Every command, in the order --help lists them; RunCli checks the count of words against a
// command's row and then runs its handler.
extern const std::array<CommandSyntax, 6> kCommands;

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
