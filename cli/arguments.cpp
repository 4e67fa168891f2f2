#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const CommandSyntax kCommands[] = {
    {"info", "IN.bmp", 1, 1, "print WIDTHxHEIGHT"},
    {"add", "IN.bmp OUT.bmp R G B", 5, 5, "add R G B to every pixel"},
    {"stamp", "IN.bmp OUT.bmp R G B PEN X,Y [X,Y ...]", 7, INT32_MAX, "one pen stamp per point"},
    {"copy", "IN.bmp", 1, 1, "put IN on the clipboard"},
    {"paste", "OUT.bmp", 1, 1, "save the clipboard's bitmap"},
    {"add-all", "R G B --to DIR | --in-place [-j N] [--quiet] FILE...", 3, INT32_MAX,
     "add R G B to many files, on every core (-j: threads)"},
};

// Where each row's description starts; a row whose words reach it has it on a line of its own.
constexpr int kDoesColumn = 60;
constexpr int kDoesBelowColumn = 34;

}  // namespace

const CommandSyntax* FindCommand(const std::string& name) {
    for (const CommandSyntax& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

void PrintUsage(std::FILE* out) {
    std::fputs("usage:\n", out);
    for (const CommandSyntax& command : kCommands) {
        const int shown = std::fprintf(out, "  velmora-cli %s %s", command.name, command.words);
        if (shown + 2 <= kDoesColumn) {
            std::fprintf(out, "%*s%s\n", kDoesColumn - shown, "", command.does);
        } else {
            std::fprintf(out, "\n%*s%s\n", kDoesBelowColumn, "", command.does);
        }
    }
    std::fprintf(out,
                 "  velmora-cli --help | --version\n"
                 "R, G and B are %d..%d, PEN is %d..%d; each channel is clamped to 0..255 after "
                 "every\naddition. OUT may be IN; a failed save leaves any old OUT as it was. IN "
                 "or OUT \"-\" is\nstandard input or output.\n",
                 kMinOffset, kMaxOffset, kMinPenSize, kMaxPenSize);
}

bool ParseInt(const char* text, int64_t lo, int64_t hi, int32_t* value) {
    if (text == nullptr || *text == '\0' || std::strchr(" \t\n\v\f\r", *text) != nullptr) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    *value = static_cast<int32_t>(v);
    return true;
}

Complaint CheckCount(const CommandSyntax& command, int argc) {
    const int64_t words = int64_t{argc} - 2;
    if (words >= command.minWords && words <= command.maxWords) {
        return {};
    }
    return std::string(command.name) + " takes " + command.words;
}

Complaint CheckInt(const char* name, const char* text, int32_t lo, int32_t hi, int32_t* value) {
    if (ParseInt(text, lo, hi, value)) {
        return {};
    }
    return std::string(name) + " must be " + std::to_string(lo) + ".." + std::to_string(hi) +
           ", not " + (*text == '\0' ? "an empty argument" : text);
}

Complaint CheckOffsets(const char* const* words, AdjustSettings* settings) {
    Complaint complaint = CheckInt("R", words[0], kMinOffset, kMaxOffset, &settings->red);
    if (complaint.empty()) {
        complaint = CheckInt("G", words[1], kMinOffset, kMaxOffset, &settings->green);
    }
    if (complaint.empty()) {
        complaint = CheckInt("B", words[2], kMinOffset, kMaxOffset, &settings->blue);
    }
    return complaint;
}

int WrongArguments(const Complaint& complaint, std::FILE* err) {
    std::fprintf(err, "velmora-cli: %s\nTry 'velmora-cli --help'.\n", complaint.c_str());
    return kExitUsage;
}
