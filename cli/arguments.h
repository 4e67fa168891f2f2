// The command line's rules for numbers and its one form of complaint, shared by every command.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/pixel_addition.h"

// Whole-string decimal integer in [lo, hi]; anything else, blanks included, is refused.
bool ParseInt(const char* text, int64_t lo, int64_t hi, int32_t* value);

// What is wrong with the arguments, one line for standard error; empty while nothing is.
using Complaint = std::string;

// "NAME must be LO..HI, not TEXT" unless TEXT is such a number, which then goes to *value.
Complaint CheckInt(const char* name, const char* text, int32_t lo, int32_t hi, int32_t* value);
Complaint CheckOffsets(const char* const* args, AdjustSettings* settings);

// Prints the complaint and the pointer to --help; returns the exit code for wrong arguments.
int WrongArguments(const Complaint& complaint, std::FILE* err);
