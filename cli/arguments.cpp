#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

bool IsStdio(const char* path) {
    return path != nullptr && std::strcmp(path, "-") == 0;
}

Complaint CheckCount(const CommandSyntax& command, int count) {
    if (count >= command.minWords && count <= command.maxWords) {
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

std::string CannotLine(const char* verb, const std::string& path, BmpError why,
                       SystemReason reason) {
    return std::string("velmora-cli: cannot ") + verb + " " + path + ": " +
           DescribeBmpFailure(why, reason) + "\n";
}

std::string StreamFailureLine(const std::string& in, const std::string& out, BmpError why,
                              SystemReason reason) {
    const bool saving = why == BmpError::kCannotWrite;
    return CannotLine(saving ? "save" : "load", saving ? out : in, why, reason);
}
