// The command line's syntax, its rules for numbers and paths, and its two forms of complaint,
// shared by every command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/exit_codes.h"
#include "image/bmp_file.h"
#include "image/pixel_addition.h"

// Runs a command on the count words after its name, a count its row allows; returns the exit
// code.
using CommandHandler = int (*)(const char* const* words, int count, std::FILE* out, std::FILE* err);

// One command: the words it takes after its name, as --help shows them and as a complaint
// repeats them, how many words it takes, what it does and which handler does it.
struct CommandSyntax {
    const char* name;
    const char* words;
    int minWords;
    int maxWords;
    const char* does;
    CommandHandler run;
};

// Whole-string decimal integer in [lo, hi]; anything else, blanks included, is refused.
bool ParseInt(const char* text, int64_t lo, int64_t hi, int32_t* value);

// "-" as IN or OUT is standard input or output.
bool IsStdio(const char* path);

// What is wrong with the arguments, one line for standard error; empty while nothing is.
using Complaint = std::string;

// "NAME takes WORDS" when the count words after the command's name are too few or too many.
Complaint CheckCount(const CommandSyntax& command, int count);
// "NAME must be LO..HI, not TEXT" unless TEXT is such a number, which then goes to *value.
Complaint CheckInt(const char* name, const char* text, int32_t lo, int32_t hi, int32_t* value);
// R, G and B from the first three words.
Complaint CheckOffsets(const char* const* words, AdjustSettings* settings);

// Prints the complaint and the pointer to --help; returns the exit code for wrong arguments.
int WrongArguments(const Complaint& complaint, std::FILE* err);

// The line for standard error when a file could not be loaded or saved (verb), naming it and
// saying why.
std::string CannotLine(const char* verb, const std::string& path, BmpError why,
                       SystemReason reason);
// The same for an addition streamed from in to out, which reports a failed save as kCannotWrite.
std::string StreamFailureLine(const std::string& in, const std::string& out, BmpError why,
                              SystemReason reason);
