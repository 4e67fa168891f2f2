#include "cli/cli.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch.h"
#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"
#include "image/store_reason.h"
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
        // The same ceiling as a file.
        if (n > kMaxBmpInput - data.size()) {
            return StoreReason(error, BmpError::kTooLarge);
        }
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (std::ferror(stdin)) {
        return StoreReason(error, BmpError::kCannotOpen);
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
    return ok || StoreReason(error, BmpError::kCannotWrite);
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

int AddStreamed(const char* in, const char* out, const AdjustSettings& settings, std::FILE* err) {
    BmpError why = BmpError::kNone;
    SystemReason reason = SystemReason::kNone;
    if (StreamBmpFile(in, out, PixelSpanEdit{AddToPackedSpan, &settings}, &why, &reason)) {
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
    // A file's rows stream through a small buffer; a pipe is taken whole before anything is
    // written, and a pipe out gets the whole file at once, so both go through the image.
    if (command == "add" && !IsStdio(in) && !IsStdio(outPath)) {
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
