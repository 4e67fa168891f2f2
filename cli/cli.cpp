#include "cli/cli.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch.h"
#include "image/answer.h"
#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "packaging/version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

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

}  // namespace

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

bool Load(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (LoadBmpOrStdin(g_image, path, &why, &reason)) {
        return true;
    }
    std::fprintf(err, "velmora-cli: cannot load %s: %s\n", path, DescribeBmpFailure(why, reason));
    return false;
}

bool Save(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (SaveBmpOrStdout(g_image, path, &why, &reason)) {
        return true;
    }
    std::fprintf(err, "velmora-cli: cannot save %s: %s\n", path, DescribeBmpFailure(why, reason));
    return false;
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

// "-" on either side is standard input or output, streamed as a file is: the input is judged
// by its header before anything is written.
int AddStreamed(const char* in, const char* out, const AdjustSettings& settings, std::FILE* err) {
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
    return Save(path, err) ? kExitOk : kExitFileError;
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
        PrintUsage(out);
        return kExitOk;
    }
    if (command == "--version") {
        std::fprintf(out, "%s\n", kVersion);
        return kExitOk;
    }
    const CommandSyntax* syntax = FindCommand(command);
    if (syntax == nullptr) {
        return WrongArguments(command + " is not a command", err);
    }
    if (command == "add-all") {
        return RunAddAll(argc, argv, out, err);
    }
    Complaint complaint = CheckCount(*syntax, argc);
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    // The words after the command's name, in the order its row gives them.
    const char* const* words = argv + 2;
    const char* in = words[0];
    if (command == "info") {
        return Info(in, out, err);
    }
    if (command == "copy" || command == "paste") {
        return RunClipboardCommand(command, in, err);
    }
    const char* outPath = words[1];
    AdjustSettings settings{};
    complaint = CheckOffsets(words + 2, &settings);
    if (complaint.empty() && command == "stamp") {
        complaint = CheckInt("PEN", words[5], kMinPenSize, kMaxPenSize, &settings.penSize);
    }
    // Every point is checked before anything is loaded, so bad arguments write nothing.
    std::vector<Point> points;
    for (int i = 6; i < argc - 2 && complaint.empty(); ++i) {
        points.emplace_back();
        if (!ParsePoint(words[i], &points.back())) {
            complaint = std::string(words[i]) + " is not a point X,Y";
        }
    }
    if (!complaint.empty()) {
        return WrongArguments(complaint, err);
    }
    // A file's rows stream through a small buffer, and so do a pipe's.
    if (command == "add") {
        return AddStreamed(in, outPath, settings, err);
    }
    if (!Load(in, err)) {
        return kExitFileError;
    }
    if (command == "add") {
        AddToWholeImage(g_image, settings);
    }
    for (const Point& p : points) {
        StampPen(g_image, settings, p.x, p.y);
    }
    return Save(outPath, err) ? kExitOk : kExitFileError;
}
