#include "cli/commands.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "bus/commands.h"
#include "bus/frame.h"
#include "bus/frame_decode.h"
#include "cli/bus_client.h"
#include "cli/key_config_file.h"
#include "cli/output.h"
#include "cli/port_choice.h"
#include "cli/project_commands.h"
#include "platform/text_file.h"

namespace {

using std::chrono::milliseconds;

milliseconds WaitOf(const CliOptions& o) {
    return milliseconds(static_cast<long>(o.Wait() * 1000.0 + 0.5));
}

std::string Seconds(const CliOptions& o) {
    std::ostringstream s;
    s << o.Wait() << " s";
    return s.str();
}

const char* NameOf(const CliOptions& o) {
    return o.model ? ModelInfo(*o.model).name : "unknown";
}

CommandResult Failed(int status, std::string line, CommandOutput output = {}) {
    return {status, std::move(output), {std::move(line)}};
}

}  // namespace

std::unique_ptr<BusClient> OpenBus(const CliOptions& o, DeviceModel model, CommandResult* failed) {
    std::vector<SerialPortEntry> ports;
    ListPortsLikeTheWindow(&ports);  // a sysfs that can't be read still allows a device path
    const std::optional<SerialPortEntry> port = ChoosePort(o.port, ports);
    if (!port) {
        *failed = Failed(kExitPort, "no port '" + o.port +
                                        "': 'orvalctl ports' lists the ports by name and number");
        return nullptr;
    }
    auto bus = std::make_unique<BusClient>();
    std::string reason;
    if (!bus->Open(*port, o.line, &reason)) {
        // The window's words for a port that won't open, and why.
        *failed =
            Failed(kExitPort, "cannot open " + port->name + " (" + port->path +
                                  "): 串口被占用或不存!" + (reason.empty() ? "" : " " + reason));
        return nullptr;
    }
    bus->UseModel(model);
    return bus;
}

namespace {

// Searches for the current model and collects the answers for the options' wait.
std::vector<FoundDevice> Search(BusClient& bus, const CliOptions& o) {
    bus.ClearFound();
    bus.SendAndWait([&] { bus.Session().SendSearch(); });
    bus.Pump(WaitOf(o));
    return bus.Found();
}

CommandResult RunPorts(const CliOptions&) {
    PortsResult r;
    if (!ListPortsLikeTheWindow(&r.ports)) {
        return Failed(kExitNoAnswer, "cannot read /sys/class/tty; only published ports are listed",
                      r);
    }
    return {kExitOk, r, {}};
}

CommandResult RunSearch(const CliOptions& o) {
    CommandResult failed;
    const auto bus = OpenBus(o, *o.model, &failed);
    if (!bus) {
        return failed;
    }
    SearchResult r{Search(*bus, o)};
    bus->Close();
    if (r.devices.empty()) {
        return Failed(kExitNoAnswer,
                      std::string("no ") + NameOf(o) + " device answered within " + Seconds(o), r);
    }
    return {kExitOk, r, {}};
}

CommandResult RunAssign(const CliOptions& o) {
    CommandResult failed;
    const auto bus = OpenBus(o, *o.model, &failed);
    if (!bus) {
        return failed;
    }
    AssignResult r;
    r.model = &ModelInfo(*o.model);
    r.device = o.address;
    r.to = o.to;
    // The device names itself by the state bytes of its search reply, as in the window's list;
    // the last answer from that address counts, as the page keeps it.
    std::optional<std::array<std::uint8_t, 4>> state;
    for (const FoundDevice& d : Search(*bus, o)) {
        if (d.address == o.address) {
            state = d.state;
        }
    }
    if (!state) {
        bus->Close();
        return Failed(kExitNoAnswer,
                      std::string("no ") + NameOf(o) + " device answered at address " +
                          std::to_string(o.address) + " within " + Seconds(o),
                      r);
    }
    bus->SendAndWait([&] {
        const bool byState = r.model->addressWrite == AddressWrite::ByState;
        bus->Session().SendAddressWrite(o.address, o.to, byState ? &*state : nullptr);
    });
    // The pause handles received bytes, then the search shows where the devices are now.
    bus->Pump(milliseconds(kAddressWritePauseMs));
    r.written = true;
    r.after = Search(*bus, o);
    bus->Close();
    r.answered = std::any_of(r.after.begin(), r.after.end(),
                             [&](const FoundDevice& d) { return d.address == o.to; });
    if (!r.answered) {
        return Failed(
            kExitNoAnswer,
            "no device answered at address " + std::to_string(o.to) + " within " + Seconds(o), r);
    }
    return {kExitOk, r, {}};
}

CommandResult RunAutoAssign(const CliOptions& o) {
    CommandResult failed;
    const auto bus = OpenBus(o, *o.model, &failed);
    if (!bus) {
        return failed;
    }
    const auto start = BusClient::Clock::now();
    bus->SendAndWait([&] { bus->Session().StartAutoAssign(o.from); });
    // The devices ask one after another; the assignment is over when the bus has been quiet
    // for the wait (or every address has been handed out once).
    const milliseconds quiet = WaitOf(o);
    for (;;) {
        const auto last = std::max(start, bus->LastFrameTime());
        const auto now = BusClient::Clock::now();
        if (now - last >= quiet || bus->HandedOut().size() >= 255) {
            break;
        }
        bus->Pump(std::min(
            milliseconds(50),
            std::chrono::duration_cast<milliseconds>(quiet - (now - last)) + milliseconds(1)));
    }
    AutoAssignResult r{bus->HandedOut(), bus->Session().NextAddress()};
    bus->Close();
    if (r.assigned.empty()) {
        return Failed(
            kExitNoAnswer,
            std::string("no ") + NameOf(o) + " device asked for an address within " + Seconds(o),
            r);
    }
    if (!std::all_of(r.assigned.begin(), r.assigned.end(),
                     [](const HandedOutAddress& h) { return h.confirmed; })) {
        return Failed(kExitNoAnswer, "not every device confirmed its address", r);
    }
    return {kExitOk, r, {}};
}

CommandResult RunReadConfig(const CliOptions& o) {
    CommandResult failed;
    const auto bus = OpenBus(o, DeviceModel::Tarvo, &failed);
    if (!bus) {
        return failed;
    }
    ReadConfigResult r{o.address, std::nullopt};
    bus->SendAndWait([&] { bus->Session().SendReadConfig(o.address); });
    if (bus->PumpUntil(
            [&] { return bus->Config().has_value() && bus->ConfigSource() == o.address; },
            WaitOf(o))) {
        r.config = DecodeTarvoConfig(*bus->Config());
    }
    bus->Close();
    if (!r.config) {
        return Failed(kExitNoAnswer,
                      "no configuration reply from address " + std::to_string(o.address) +
                          " within " + Seconds(o),
                      r);
    }
    return {kExitOk, r, {}};
}

// The frames of the key-configuration sequence through the tool's bus: each one written on the
// line before the pause after it begins, and received bytes handled meanwhile.
class ToolLink : public IKeyConfigLink {
public:
    explicit ToolLink(BusClient& bus) : m_bus(bus) {}
    bool Send(const Build& build) override {
        if (m_bus.SendAndWait([&] { m_bus.Session().BuildAndSend(build); })) {
            ++m_written;
        }
        return true;  // a frame that did not go out in time is counted, not waited for again
    }
    bool Pause(std::chrono::milliseconds gap) override {
        m_bus.Pump(gap);
        return true;
    }
    std::size_t Written() const { return m_written; }

private:
    BusClient& m_bus;
    std::size_t m_written = 0;
};

CommandResult RunWriteKeyConfig(const CliOptions& o) {
    const TextFileRead file = ReadTextFile(o.file);
    if (!file.text) {
        return Failed(kExitUsage, "cannot read " + o.file + ": " + file.error);
    }
    KeyConfigError fault;
    const std::optional<KeyConfigSettings> settings = ParseKeyConfig(*file.text, &fault);
    if (!settings) {
        std::string where = o.file;
        if (fault.line > 0) {
            where += ":" + std::to_string(fault.line);
        }
        if (!fault.key.empty()) {
            where += ": " + fault.key;
        }
        return Failed(kExitUsage, where + ": " + fault.message);
    }

    CommandResult failed;
    const auto bus = OpenBus(o, DeviceModel::Tarvo, &failed);
    if (!bus) {
        return failed;
    }
    const std::size_t framesBefore = bus->Frames().size();
    const KeyConfigFields fields = settings->Fields();
    FixedKeyConfigSource source(o.address, fields);
    ToolLink link(*bus);
    WriteKeyConfig(fields, source, link);

    // The panel confirms each frame with a frame of the same command from its address.
    KeyConfigConfirmations got(o.address);
    std::size_t seen = framesBefore;
    const auto take = [&] {
        for (; seen < bus->Frames().size(); ++seen) {
            got.OnFrame(bus->Frames()[seen].data());
        }
        return got.All();
    };
    bus->PumpUntil(take, WaitOf(o));
    take();
    bus->Close();

    WriteKeyConfigResult r{o.address, link.Written(), {}};
    for (std::size_t i = 0; i < kKeyConfigSteps.size(); ++i) {
        r.confirmed[i] = got.Confirmed(kKeyConfigSteps[i]);
    }
    if (r.written < kKeyConfigSteps.size() || !got.All()) {
        return Failed(kExitNoAnswer,
                      "TARVO " + std::to_string(o.address) +
                          " did not confirm every frame within " + Seconds(o),
                      r);
    }
    return {kExitOk, r, {}};
}

// MIRELL and OSKAN commands: one frame, no answer. Done when the frame went out.
CommandResult RunDeviceCommand(const CliOptions& o) {
    const bool mirell = o.command == CliCommand::Mirell;
    const DeviceModel model = mirell ? DeviceModel::Mirell : DeviceModel::Oskan;
    CommandResult failed;
    const auto bus = OpenBus(o, model, &failed);
    if (!bus) {
        return failed;
    }
    DeviceCommandResult r;
    r.model = &ModelInfo(model);
    r.address = o.address;
    r.sent = bus->SendAndWait([&] {
        bus->Session().BuildAndSend([&](TxFrame::Bytes& b) {
            if (mirell) {
                return BuildMirellCommandFrame(b, o.address, o.mirell.function, o.mirell.value);
            }
            if (o.oskanChannel == 0) {
                return BuildOskanFeedbackFrame(b, o.address, o.on);
            }
            return BuildOskanChannelFrame(b, o.address, o.oskanChannel - 1, o.on);
        });
    });
    const std::vector<std::vector<std::uint8_t>> frames = bus->WrittenFrames();
    bus->Close();
    if (r.sent && !frames.empty()) {
        r.frame = FormatHex(frames.back().data(), frames.back().size());
    }
    if (!r.sent) {
        return Failed(kExitNoAnswer,
                      std::string("the frame to ") + r.model->title + " " +
                          std::to_string(o.address) + " did not go out",
                      r);
    }
    return {kExitOk, r, {}};
}

CommandResult Run(const CliOptions& options) {
    switch (options.command) {
        case CliCommand::Ports:
            return RunPorts(options);
        case CliCommand::Search:
            return RunSearch(options);
        case CliCommand::Assign:
            return RunAssign(options);
        case CliCommand::AutoAssign:
            return RunAutoAssign(options);
        case CliCommand::ReadConfig:
            return RunReadConfig(options);
        case CliCommand::WriteKeyConfig:
            return RunWriteKeyConfig(options);
        case CliCommand::Mirell:
        case CliCommand::Oskan:
            return RunDeviceCommand(options);
        case CliCommand::ProjectCapture:
        case CliCommand::ProjectCheck:
        case CliCommand::ProjectApply:
        case CliCommand::ProjectResolve:
        case CliCommand::Identify:
            return RunProjectCommand(options);
    }
    return {kExitUsage, {}, {}};
}

}  // namespace

int RunCommand(const CliOptions& options) {
    const CommandResult result = Run(options);
    PrintResult(result, options.json);
    return result.status;
}
