#include "cli/command_support.h"

#include "cli/interrupt.h"
#include "cli/port_choice.h"
#include "session/shown_text.h"

CommandResult Failed(int status, std::string line, CommandOutput output) {
    return {status, std::move(output), {std::move(line)}};
}

// Opens the port the options name with the model's tab current, so that the session's
// commands go to that device type. On failure `failed` holds the exit status and the reason.
std::unique_ptr<BusClient> OpenBus(const CliOptions& o, DeviceModel model, CommandResult* failed) {
    std::vector<SerialPortEntry> ports;
    ListPortsLikeTheWindow(&ports);  // a sysfs that can't be read still allows a device path
    std::string why;
    const std::optional<SerialPortEntry> port = ChoosePort(o.port, ports, &why);
    if (!port) {
        *failed = Failed(kExitPort, why.empty() ? "no port " + Quoted(o.port) +
                                                      ": 'orvalctl ports' lists the ports by name "
                                                      "and number"
                                                : Shown(o.port) + " is no port: " + why);
        return nullptr;
    }
    auto bus = std::make_unique<BusClient>();
    std::string reason;
    if (!bus->Open(*port, o.line, &reason)) {
        // One line in the tool's words, then the window's words and why, in its language.
        *failed = {kExitPort,
                   {},
                   {"cannot open " + Shown(port->name) + " (" + Shown(port->path) +
                        "): the port is busy or missing",
                    "串口被占用或不存!" + (reason.empty() ? "" : " " + reason)}};
        return nullptr;
    }
    bus->UseModel(model);
    return bus;
}

// What every command says after its bus work: settings the port refused, bytes that formed no
// frame, and, when the port failed or the user interrupted, that the work stopped there (the
// result printed is then what was done up to that point).
CommandResult Finish(const BusClient& bus, CommandResult result) {
    std::vector<std::string> lines = bus.Warnings();
    if (const std::size_t junk = bus.BytesInNoFrame(); junk > 0) {
        lines.push_back(std::to_string(junk) +
                        " bytes arrived that formed no frame — wrong line settings? try find-baud");
    }
    if (const std::optional<std::string> failure = bus.Failure()) {
        result.status = kExitPortFailed;
        result.partial = true;
        lines.push_back(*failure + "; the command stopped there");
    } else if (InterruptSignal() != 0) {
        result.status = 128 + InterruptSignal();
        result.partial = true;
        lines.push_back(std::string(InterruptWords()) + "; the command stopped there");
    }
    result.errors.insert(result.errors.begin(), lines.begin(), lines.end());
    return result;
}
