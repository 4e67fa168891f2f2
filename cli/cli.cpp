#include "cli/cli.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "image/bmp_file.h"
#include "image/clipboard_dib.h"
#include "image/pixel_addition.h"
#include "image/pixel_image.h"

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

const char kVersion[] = "Velmora 05";

struct Point {
    int32_t x;
    int32_t y;
};

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

bool ParsePoint(const char* text, Point* point) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    const std::string x(text, comma);
    return ParseInt(x.c_str(), INT32_MIN, INT32_MAX, &point->x) &&
           ParseInt(comma + 1, INT32_MIN, INT32_MAX, &point->y);
}

bool ParseOffsets(const char* const* args, AdjustSettings* settings) {
    return ParseInt(args[0], -256, 256, &settings->red) &&
           ParseInt(args[1], -256, 256, &settings->green) &&
           ParseInt(args[2], -256, 256, &settings->blue);
}

int Usage(std::FILE* err) {
    std::fputs(kUsage, err);
    return kExitUsage;
}

bool Load(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    if (LoadBmpOrStdin(g_image, path, &why)) {
        return true;
    }
    std::fprintf(err, "velmora-cli: cannot load %s: %s\n", path, DescribeBmpError(why));
    return false;
}

int Save(const char* path, std::FILE* err) {
    BmpError why = BmpError::kNone;
    if (SaveBmpOrStdout(g_image, path, &why)) {
        return kExitOk;
    }
    std::fprintf(err, "velmora-cli: cannot save %s: %s\n", path, DescribeBmpError(why));
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
        return Usage(err);
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
    if (command == "info" && argc == 3) {
        if (!Load(argv[2], err)) {
            return kExitFileError;
        }
        std::fprintf(out, "%dx%d\n", g_image.GetWidth(), g_image.GetHeight());
        return kExitOk;
    }
    if (command == "add" && argc == 7) {
        AdjustSettings settings{0, 0, 0, 1};
        if (!ParseOffsets(argv + 4, &settings)) {
            return Usage(err);
        }
        if (!Load(argv[2], err)) {
            return kExitFileError;
        }
        AddToWholeImage(g_image, settings);
        return Save(argv[3], err);
    }
    if (command == "stamp" && argc >= 9) {
        AdjustSettings settings{0, 0, 0, 1};
        if (!ParseOffsets(argv + 4, &settings) || !ParseInt(argv[7], 1, 16, &settings.penSize)) {
            return Usage(err);
        }
        // Every point is checked before anything is loaded, so bad arguments write nothing.
        std::vector<Point> points(static_cast<size_t>(argc - 8));
        for (int i = 8; i < argc; ++i) {
            if (!ParsePoint(argv[i], &points[static_cast<size_t>(i - 8)])) {
                return Usage(err);
            }
        }
        if (!Load(argv[2], err)) {
            return kExitFileError;
        }
        for (const Point& p : points) {
            StampPen(g_image, settings, p.x, p.y);
        }
        return Save(argv[3], err);
    }
    if ((command == "copy" || command == "paste") && argc == 3) {
        return RunClipboardCommand(command, argv[2], err);
    }
    return Usage(err);
}
