// The command line's syntax, its rules for numbers and its one form of complaint, shared by
// every command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/exit_codes.h"
#include "image/pixel_addition.h"

// One command: the words it takes after its name, as --help shows them and as a complaint
// repeats them, how many words it takes, and what it does.
struct CommandSyntax {
    const char* name;
    const char* words;
    int minWords;
    int maxWords;
    const char* does;
};

// The command's row, or null for a word that names no command.
const CommandSyntax* FindCommand(const std::string& name);
// The help: every command's row, then the ranges of the numbers.
void PrintUsage(std::FILE* out);

// Whole-string decimal integer in [lo, hi]; anything else, blanks included, is refused.
bool ParseInt(const char* text, int64_t lo, int64_t hi, int32_t* value);

// What is wrong with the arguments, one line for standard error; empty while nothing is.
using Complaint = std::string;

// "NAME takes WORDS" when the words after argv[1], the command's name, are too few or too many.
Complaint CheckCount(const CommandSyntax& command, int argc);
// "NAME must be LO..HI, not TEXT" unless TEXT is such a number, which then goes to *value.
Complaint CheckInt(const char* name, const char* text, int32_t lo, int32_t hi, int32_t* value);
// R, G and B from the first three words.
Complaint CheckOffsets(const char* const* words, AdjustSettings* settings);

// Prints the complaint and the pointer to --help; returns the exit code for wrong arguments.
int WrongArguments(const Complaint& complaint, std::FILE* err);
