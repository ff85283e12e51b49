#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_signal{0};

extern "C" void NoteSignal(int signal) {
    g_signal.store(signal);
}

}  // namespace

void InstallInterruptHandlers() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, NoteSignal);
    }
}

int InterruptSignal() {
    return g_signal.load();
}

const char* InterruptWords() {
    switch (InterruptSignal()) {
        case SIGINT:
            return "interrupted (SIGINT)";
        case SIGTERM:
            return "interrupted (SIGTERM)";
        case SIGHUP:
            return "interrupted (SIGHUP)";
        default:
            return "interrupted";
    }
}
