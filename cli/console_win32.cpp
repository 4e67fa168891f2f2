#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "cli/console.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        *g_stop = true;
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void MakeBinary(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

InterruptGuard::InterruptGuard(std::atomic<bool>* stop) {
    g_stop = stop;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptGuard::~InterruptGuard() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}
