// orval-sim: plays a bus of simulated ORVAL devices on a pseudo-terminal that Ravlin lists as a
// serial port, and traces every frame on standard output. Runs until Ctrl-C or SIGTERM.

#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "sim/orval_simulator.h"

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: orval-sim [--device MODEL:ADDRESS:IDENTITY]... [--name NAME] [--baud N] [--quiet]\n"
        "\n"
        "Plays simulated ORVAL devices on a pseudo-terminal and publishes it in the folder of\n"
        "published ports, where Ravlin lists it as a serial port named NAME (default orval-sim).\n"
        "The folder is $RAVLIN_PORT_DIR, else $XDG_RUNTIME_DIR/ravlin-ports, else\n"
        "/tmp/ravlin-ports-UID; it is created with mode 0700, and one that is a link, belongs to\n"
        "another user or is open to group or others is refused.\n"
        "\n"
        "  --device MODEL:ADDRESS:IDENTITY  put a device on the bus (repeatable): MODEL is tarvo,\n"
        "                                   mirell or oskan, ADDRESS 1..255, IDENTITY eight hex\n"
        "                                   digits, e.g. --device tarvo:1:11223344\n"
        "  --name NAME                      publish the port under NAME\n"
        "  --baud N                         the devices' line rate, 50..4000000 (default: the\n"
        "                                   PC's, whatever it sets)\n"
        "  --quiet                          do not trace frames\n"
        "  --help                           show this text\n"
        "\n"
        "Without --device the bus holds two TARVO panels that share the factory address 1, two\n"
        "MIRELL sequencers and an OSKAN. Stop with Ctrl-C.\n"
        "\n"
        "A pseudo-terminal carries no line rate: every byte arrives intact whatever rate either\n"
        "end sets. With --baud the simulator stands in for the wire: it reads the rate the PC set\n"
        "on its end, and when that differs from N the devices hear the PC's frames, and the PC\n"
        "their answers, as a UART at the other rate samples them (a start bit, eight data bits,\n"
        "stop bits; each bit sampled in its middle by the receiver's own clock). Rates a few per\n"
        "cent apart still understand each other; further apart the bytes garble, split or vanish\n"
        "and the devices do not answer, as on a real line at the wrong rate.\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<SimDeviceSpec> devices;
    std::string name = "orval-sim";
    bool quiet = false;
    unsigned baud = 0;  // the devices follow the PC's rate
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--quiet") {
            quiet = true;
            continue;
        }
        if ((arg == "--device" || arg == "--name" || arg == "--baud") && i + 1 >= argc) {
            std::fprintf(stderr, "orval-sim: %s needs a value\n", arg.c_str());
            return 2;
        }
        if (arg == "--device") {
            std::string error;
            auto entry = ParseDeviceSpec(argv[++i], &error);
            if (!entry) {
                std::fprintf(stderr, "orval-sim: --device %s: %s\n", argv[i], error.c_str());
                return 2;
            }
            devices.push_back(*entry);
        } else if (arg == "--baud") {
            const std::string value = argv[++i];
            char* end = nullptr;
            errno = 0;
            const unsigned long rate = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || value[0] == '-' || rate < 50 ||
                rate > 4000000) {
                std::fprintf(stderr, "orval-sim: --baud: '%s' is no line rate (50..4000000)\n",
                             value.c_str());
                return 2;
            }
            baud = static_cast<unsigned>(rate);
        } else if (arg == "--name") {
            name = argv[++i];
            if (name.empty() || name.find('/') != std::string::npos || name == "." ||
                name == "..") {
                std::fprintf(stderr, "orval-sim: --name must be a plain file name\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "orval-sim: unknown argument '%s'\n\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        }
    }
    if (devices.empty()) {
        devices = DefaultBus();
    }

    // Every signal that would end the simulator is taken by sigwait below, so that it always
    // unpublishes its port first; they are blocked before the bus thread starts so that it
    // inherits the mask and never handles them itself. A reader of the trace that goes away
    // (orval-sim | head -1) must not end it either: writes to it just fail.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                             SIGPROF, SIGPOLL, SIGPWR, SIGXCPU, SIGXFSZ, SIGSTKFLT}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    OrvalSimulator simulator(devices);
    simulator.SetDeviceBaud(baud);
    if (quiet) {
        simulator.SetTraceSink(nullptr);
    }
    try {
        simulator.Start(name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orval-sim: %s\n", e.what());
        return 1;
    }
    std::printf("orval-sim: port published as %s -> %s\n", simulator.PortPath().c_str(),
                simulator.SlavePath().c_str());
    for (const SimDeviceSpec& entry : devices) {
        std::printf("orval-sim: device %s\n", FormatDeviceSpec(entry).c_str());
    }
    if (baud != 0) {
        std::printf("orval-sim: devices at %u baud\n", baud);
    }
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    simulator.Stop();
    std::printf("orval-sim: %s, port unpublished\n", strsignal(received));
    return 0;
}
