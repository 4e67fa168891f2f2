#include "cli/cli.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch.h"
#include "cli/console.h"
#include "image/answer.h"
#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "packaging/version.h"

namespace {

const char kVersion[] = "Velmora " VELMORA_VERSION_TEXT;

// Standard input as a reader. It is read to its end once, and no further: a terminal would
// wait again after its end. Past ceiling bytes it stops, as a pipe too long to hold.
struct StdinReader {
    uint64_t ceiling;
    uint64_t taken = 0;
    bool ended = false;
    bool tooLong = false;
};

bool ReadStdin(void* context, uint8_t* data, size_t length, size_t* got) {
    auto* in = static_cast<StdinReader*>(context);
    *got = 0;
    while (*got < length && !in->ended) {
        const size_t n = std::fread(data + *got, 1, length - *got, stdin);
        *got += n;
        in->taken += n;
        in->ended = n == 0;
    }
    in->tooLong = in->taken > in->ceiling;
    return !in->tooLong && !std::ferror(stdin);
}

bool WriteStdout(void*, const uint8_t* data, size_t length) {
    return std::fwrite(data, 1, length, stdout) == length;
}

// LoadBmp, except that the path "-" means standard input, taken as a file of the same bytes.
bool LoadBmpOrStdin(PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    if (!IsStdio(path)) {
        return LoadBmp(image, path, error, reason);
    }
    MakeBinary(stdin);
    StdinReader stdinReader{kMaxBmpInput};
    const ByteReader reader{ReadStdin, &stdinReader};
    BmpInput in;
    in.reader = &reader;
    return LoadBmpFrom(image, in, error, reason) ||
           (stdinReader.tooLong && Answer(error, BmpError::kTooLarge));
}

bool SaveBmpOrStdout(const PixelImage& image, const char* path, BmpError* error,
                     SystemReason* reason) {
    if (!IsStdio(path)) {
        return SaveBmp(image, path, error, reason);
    }
    BmpBuffer file;
    size_t length = 0;
    if (!EncodeBmp(image, file, &length, error)) {
        return false;
    }
    MakeBinary(stdout);
    const bool ok =
        std::fwrite(file.block, 1, length, stdout) == length && std::fflush(stdout) == 0;
    ReleaseBmpBuffer(file);
    return ok || Answer(error, BmpError::kCannotWrite);
}

struct Point {
    int32_t x;
    int32_t y;
};

bool ParsePoint(const char* text, Point* point) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    const std::string x(text, comma);
    return ParseInt(x.c_str(), INT32_MIN, INT32_MAX, &point->x) &&
           ParseInt(comma + 1, INT32_MIN, INT32_MAX, &point->y);
}

bool Load(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (LoadBmpOrStdin(g_image, path, &why, &reason)) {
        return true;
    }
    std::fputs(CannotLine("load", path, why, reason).c_str(), err);
    return false;
}

bool Save(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (SaveBmpOrStdout(g_image, path, &why, &reason)) {
        return true;
    }
    std::fputs(CannotLine("save", path, why, reason).c_str(), err);
    return false;
}

// A file's size is read from its header alone, so that pictures too large for an image are
// told too; a pipe has no length to judge it by, so it is loaded whole.
int Info(const char* const* words, int, std::FILE* out, std::FILE* err) {
    const char* in = words[0];
    BmpLayout layout{0, 0, 0, 0};
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (IsStdio(in)) {
        if (!Load(in, err)) {
            return kExitFileError;
        }
        layout.width = g_image.GetWidth();
        layout.height = g_image.GetHeight();
    } else if (!ReadBmpLayout(in, &layout, &why, &reason)) {
        std::fputs(CannotLine("load", in, why, reason).c_str(), err);
        return kExitFileError;
    }
    std::fprintf(out, "%dx%d\n", layout.width, layout.height);
    return kExitOk;
}

// A file's rows stream through a small buffer, and so do a pipe's: "-" on either side is
// standard input or output, and the input is judged by its header before anything is written.
int Add(const char* const* words, int, std::FILE*, std::FILE* err) {
    const char* in = words[0];
    const char* out = words[1];
    AdjustSettings settings{};
    const Complaint complaint = CheckOffsets(words + 2, &settings);
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    StdinReader stdinReader{UINT64_MAX};
    const ByteReader reader{ReadStdin, &stdinReader};
    const ByteWriter writer{WriteStdout, nullptr};
    BmpInput input;
    BmpOutput output;
    if (IsStdio(in)) {
        MakeBinary(stdin);
        input.reader = &reader;
    } else {
        input.path = in;
    }
    if (IsStdio(out)) {
        MakeBinary(stdout);
        output.writer = &writer;
    } else {
        output.path = out;
    }
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (StreamBmp(input, output, settings, &why, &reason) &&
        (output.writer == nullptr || std::fflush(stdout) == 0 ||
         Answer(&why, BmpError::kCannotWrite))) {
        return kExitOk;
    }
    std::fputs(StreamFailureLine(in, out, why, reason).c_str(), err);
    return kExitFileError;
}

// stamp's words are IN OUT R G B PEN, then the points.
constexpr int kPenWord = 5;
constexpr int kFirstPoint = kPenWord + 1;

int Stamp(const char* const* words, int count, std::FILE*, std::FILE* err) {
    AdjustSettings settings{};
    Complaint complaint = CheckOffsets(words + 2, &settings);
    if (complaint.empty()) {
        complaint = CheckInt("PEN", words[kPenWord], kMinPenSize, kMaxPenSize, &settings.penSize);
    }
    // Every point is checked before anything is loaded, so bad arguments write nothing.
    std::vector<Point> points;
    for (int i = kFirstPoint; i < count && complaint.empty(); ++i) {
        points.emplace_back();
        if (!ParsePoint(words[i], &points.back())) {
            complaint = std::string(words[i]) + " is not a point X,Y";
        }
    }
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    if (!Load(words[0], err)) {
        return kExitFileError;
    }
    for (const Point& p : points) {
        StampPen(g_image, settings, p.x, p.y);
    }
    return Save(words[1], err) ? kExitOk : kExitFileError;
}

#ifdef _WIN32
// Loads the file and publishes it.
int Copy(const char* const* words, int, std::FILE*, std::FILE* err) {
    if (!Load(words[0], err)) {
        return kExitFileError;
    }
    bool published = false;
    CopyToClipboard(g_image, &published);
    if (!published) {
        std::fputs("velmora-cli: the clipboard could not be written\n", err);
        return kExitFileError;
    }
    return kExitOk;
}

// Takes the clipboard's bitmap and saves it.
int Paste(const char* const* words, int, std::FILE*, std::FILE* err) {
    if (!PasteFromClipboard(g_image)) {
        std::fputs("velmora-cli: the clipboard holds no 24- or 32-bit bitmap\n", err);
        return kExitFileError;
    }
    return Save(words[0], err) ? kExitOk : kExitFileError;
}
#else
// The clipboard is Windows's; elsewhere its commands stay, to say so.
int NoClipboard(const char* const*, int, std::FILE*, std::FILE* err) {
    std::fputs("velmora-cli: no clipboard on this platform\n", err);
    return kExitFileError;
}
const CommandHandler Copy = NoClipboard;
const CommandHandler Paste = NoClipboard;
#endif

// Where each row's description starts; a row whose words reach it has it on a line of its own.
constexpr int kDoesColumn = 60;
constexpr int kDoesBelowColumn = 34;

// The help: every command's row, then the ranges of the numbers.
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

}  // namespace

const std::array<CommandSyntax, 6> kCommands = {{
    {"info", "IN.bmp", 1, 1, "print WIDTHxHEIGHT", Info},
    {"add", "IN.bmp OUT.bmp R G B", 5, 5, "add R G B to every pixel", Add},
    {"stamp", "IN.bmp OUT.bmp R G B PEN X,Y [X,Y ...]", kFirstPoint + 1, INT32_MAX,
     "one pen stamp per point", Stamp},
    {"copy", "IN.bmp", 1, 1, "put IN on the clipboard", Copy},
    {"paste", "OUT.bmp", 1, 1, "save the clipboard's bitmap", Paste},
    {"add-all", "R G B --to DIR | --in-place [-j N] [--quiet] FILE...", 3, INT32_MAX,
     "add R G B to many files, on every core (-j: threads)", RunAddAll},
}};

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) {
        return WrongArguments("no command given", err);
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        PrintUsage(out);
        return kExitOk;
    }
    if (name == "--version") {
        std::fprintf(out, "%s\n", kVersion);
        return kExitOk;
    }
    for (const CommandSyntax& command : kCommands) {
        if (name == command.name) {
            const Complaint complaint = CheckCount(command, argc - 2);
            return complaint.empty() ? command.run(argv + 2, argc - 2, out, err)
                                     : WrongArguments(complaint, err);
        }
    }
    return WrongArguments(name + " is not a command", err);
}
