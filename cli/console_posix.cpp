#include <signal.h>
#include <unistd.h>

#include "cli/console.h"

namespace {

std::atomic<bool>* g_stop = nullptr;
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

extern "C" void OnInterrupt(int) {
    *g_stop = true;
}

}  // namespace

void MakeBinary(std::FILE*) {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

InterruptGuard::InterruptGuard(std::atomic<bool>* stop) {
    g_stop = stop;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_oldInt);
    sigaction(SIGTERM, &action, &g_oldTerm);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
}
