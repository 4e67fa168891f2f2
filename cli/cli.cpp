#include "cli/cli.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch.h"
#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "image/tell.h"
#include "packaging/version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kUsage[] =
    "usage:\n"
    "  velmora-cli info IN.bmp                                   print WIDTHxHEIGHT\n"
    "  velmora-cli add IN.bmp OUT.bmp R G B                      add R G B to every pixel\n"
    "  velmora-cli stamp IN.bmp OUT.bmp R G B PEN X,Y [X,Y ...]  one pen stamp per point\n"
    "  velmora-cli copy IN.bmp                                   put IN on the clipboard\n"
    "  velmora-cli paste OUT.bmp                                 save the clipboard's bitmap\n"
    "  velmora-cli add-all R G B --to DIR | --in-place [-j N] [--quiet] FILE...\n"
    "                                  add R G B to many files, on every core (-j: threads)\n"
    "  velmora-cli --help | --version\n"
    "R, G and B are -256..256, PEN is 1..16; each channel is clamped to 0..255 after every\n"
    "addition. OUT may be IN; a failed save leaves any old OUT as it was. IN or OUT \"-\" is\n"
    "standard input or output.\n";

const char kVersion[] = "Velmora " VELMORA_VERSION_TEXT;

// Without this the Windows C library would turn every 0x0A of the picture into 0x0D 0x0A on
// the way out and stop reading at the first 0x1A on the way in.
void MakeBinary(std::FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

bool IsStdio(const char* path) {
    return path != nullptr && std::strcmp(path, "-") == 0;
}

// LoadBmp and SaveBmp, except that the path "-" means standard input or standard output.
bool LoadBmpOrStdin(PixelImage& image, const char* path, BmpError* error, SystemReason* reason) {
    if (!IsStdio(path)) {
        return LoadBmp(image, path, error, reason);
    }
    MakeBinary(stdin);
    std::vector<uint8_t> data;
    std::vector<uint8_t> chunk(size_t{1} << 20);
    size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0) {
        // The same ceiling as a file: the core's blocks hold at most 2 GiB.
        if (n > size_t{INT32_MAX} - data.size()) {
            return Tell(error, BmpError::kTooLarge);
        }
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (std::ferror(stdin)) {
        return Tell(error, BmpError::kCannotOpen);
    }
    return DecodeBmp(image, data.data(), data.size(), error);
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
    return ok || Tell(error, BmpError::kCannotWrite);
}

struct Point {
    int32_t x;
    int32_t y;
};

}  // namespace

// Whole-string decimal integer in [lo, hi]; anything else, blanks included, is refused.
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

Complaint CheckInt(const char* name, const char* text, int32_t lo, int32_t hi, int32_t* value) {
    if (ParseInt(text, lo, hi, value)) {
        return {};
    }
    return std::string(name) + " must be " + std::to_string(lo) + ".." + std::to_string(hi) +
           ", not " + (*text == '\0' ? "an empty argument" : text);
}

Complaint CheckOffsets(const char* const* args, AdjustSettings* settings) {
    Complaint complaint = CheckInt("R", args[0], -256, 256, &settings->red);
    if (complaint.empty()) {
        complaint = CheckInt("G", args[1], -256, 256, &settings->green);
    }
    if (complaint.empty()) {
        complaint = CheckInt("B", args[2], -256, 256, &settings->blue);
    }
    return complaint;
}

int WrongArguments(const Complaint& complaint, std::FILE* err) {
    std::fprintf(err, "velmora-cli: %s\nTry 'velmora-cli --help'.\n", complaint.c_str());
    return kExitUsage;
}

namespace {

bool ParsePoint(const char* text, Point* point) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    const std::string x(text, comma);
    return ParseInt(x.c_str(), INT32_MIN, INT32_MAX, &point->x) &&
           ParseInt(comma + 1, INT32_MIN, INT32_MAX, &point->y);
}

// The arguments each command takes after its name, as the usage spells them; a command is
// known by its name and judged by its count before anything else.
Complaint CheckCount(const std::string& command, int argc) {
    static const struct {
        const char* name;
        const char* args;
        int minArgc;
        int maxArgc;
    } kCommands[] = {
        {"info", "IN.bmp", 3, 3},
        {"add", "IN.bmp OUT.bmp R G B", 7, 7},
        {"stamp", "IN.bmp OUT.bmp R G B PEN X,Y [X,Y ...]", 9, INT32_MAX},
        {"copy", "IN.bmp", 3, 3},
        {"paste", "OUT.bmp", 3, 3},
    };
    for (const auto& c : kCommands) {
        if (command == c.name) {
            return argc >= c.minArgc && argc <= c.maxArgc ? Complaint()
                                                          : command + " takes " + c.args;
        }
    }
    return command + " is not a command";
}

bool Load(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (LoadBmpOrStdin(g_image, path, &why, &reason)) {
        return true;
    }
    std::fprintf(err, "velmora-cli: cannot load %s: %s\n", path, DescribeBmpFailure(why, reason));
    return false;
}

int Save(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (SaveBmpOrStdout(g_image, path, &why, &reason)) {
        return kExitOk;
    }
    std::fprintf(err, "velmora-cli: cannot save %s: %s\n", path, DescribeBmpFailure(why, reason));
    return kExitFileError;
}

// A file's size is read from its header alone, so that pictures too large for an image are
// told too; a pipe has no length to judge it by, so it is loaded whole.
int Info(const char* path, std::FILE* out, std::FILE* err) {
    BmpLayout layout{0, 0, 0, 0};
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (IsStdio(path)) {
        if (!Load(path, err)) {
            return kExitFileError;
        }
        layout.width = g_image.GetWidth();
        layout.height = g_image.GetHeight();
    } else if (!ReadBmpLayout(path, &layout, &why, &reason)) {
        std::fprintf(err, "velmora-cli: cannot load %s: %s\n", path,
                     DescribeBmpFailure(why, reason));
        return kExitFileError;
    }
    std::fprintf(out, "%dx%d\n", layout.width, layout.height);
    return kExitOk;
}

int AddStreamed(const char* in, const char* out, const AdjustSettings& settings, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (AddToBmpFile(in, out, settings, &why, &reason)) {
        return kExitOk;
    }
    const bool saving = why == BmpError::kCannotWrite;
    std::fprintf(err, "velmora-cli: cannot %s %s: %s\n", saving ? "save" : "load",
                 saving ? out : in, DescribeBmpFailure(why, reason));
    return kExitFileError;
}

// copy loads the file and publishes it; paste takes the clipboard's bitmap and saves it.
int RunClipboardCommand(const std::string& command, const char* path, std::FILE* err) {
#ifdef _WIN32
    if (command == "copy") {
        if (!Load(path, err)) {
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
    if (!PasteFromClipboard(g_image)) {
        std::fputs("velmora-cli: the clipboard holds no 24- or 32-bit bitmap\n", err);
        return kExitFileError;
    }
    return Save(path, err);
#else
    (void)command;
    (void)path;
    std::fputs("velmora-cli: no clipboard on this platform\n", err);
    return kExitFileError;
#endif
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) {
        return WrongArguments("no command given", err);
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, out);
        return kExitOk;
    }
    if (command == "--version") {
        std::fprintf(out, "%s\n", kVersion);
        return kExitOk;
    }
    if (command == "add-all") {
        return RunAddAll(argc, argv, out, err);
    }
    Complaint complaint = CheckCount(command, argc);
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    if (command == "info") {
        return Info(argv[2], out, err);
    }
    if (command == "copy" || command == "paste") {
        return RunClipboardCommand(command, argv[2], err);
    }
    AdjustSettings settings{0, 0, 0, 1};
    complaint = CheckOffsets(argv + 4, &settings);
    if (complaint.empty() && command == "stamp") {
        complaint = CheckInt("PEN", argv[7], 1, 16, &settings.penSize);
    }
    // Every point is checked before anything is loaded, so bad arguments write nothing.
    std::vector<Point> points;
    for (int i = 8; i < argc && complaint.empty(); ++i) {
        points.emplace_back();
        if (!ParsePoint(argv[i], &points.back())) {
            complaint = std::string(argv[i]) + " is not a point X,Y";
        }
    }
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    // A file's rows stream through a small buffer; a pipe is taken whole before anything is
    // written, and a pipe out gets the whole file at once, so both go through the image.
    if (command == "add" && !IsStdio(argv[2]) && !IsStdio(argv[3])) {
        return AddStreamed(argv[2], argv[3], settings, err);
    }
    if (!Load(argv[2], err)) {
        return kExitFileError;
    }
    if (command == "add") {
        AddToWholeImage(g_image, settings);
    }
    for (const Point& p : points) {
        StampPen(g_image, settings, p.x, p.y);
    }
    return Save(argv[3], err);
}
