// The program's entry: everything lives in the velmora_shell library so
// tests can create the same windows.
#include <windows.h>

#include "shell/main_frame.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The runtime's own tail may differ from the system's rules (quoting, two-byte characters),
    // so the full command line is parsed here.
    return RunVelmora(instance, GetCommandLineA());
}
