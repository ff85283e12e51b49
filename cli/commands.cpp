#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "bus/commands.h"
#include "bus/frame.h"
#include "cli/bus_client.h"
#include "cli/json_writer.h"
#include "cli/key_config_file.h"
#include "cli/port_choice.h"

namespace {

using std::chrono::milliseconds;

milliseconds WaitOf(const CliOptions& o) {
    return milliseconds(static_cast<long>(o.Wait() * 1000.0 + 0.5));
}

template <class Bytes>
std::string Hex(const Bytes& bytes) {
    std::string out;
    for (const auto b : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(b));
        if (!out.empty()) {
            out += ' ';
        }
        out += text;
    }
    return out;
}

std::string Seconds(const CliOptions& o) {
    std::ostringstream s;
    s << o.Wait() << " s";
    return s.str();
}

const char* TypeNameOfCode(std::uint8_t code) {
    switch (code) {
        case kTypeTarvo:
            return "tarvo";
        case kTypeMirell:
            return "mirell";
        case kTypeOskan:
            return "oskan";
        default:
            return "unknown";
    }
}

void Error(const std::string& text) {
    std::fprintf(stderr, "orvalctl: %s\n", text.c_str());
}

void PrintJson(const JsonWriter& json) {
    std::printf("%s\n", json.Text().c_str());
}

void WriteDevices(JsonWriter& json, const std::vector<FoundDevice>& devices) {
    json.Key("devices").BeginArray();
    for (const FoundDevice& d : devices) {
        json.BeginObject()
            .Key("address")
            .Number(d.address)
            .Key("type")
            .String(TypeNameOfCode(d.type))
            .Key("state")
            .String(Hex(d.state))
            .EndObject();
    }
    json.EndArray();
}

void PrintDevices(const std::vector<FoundDevice>& devices) {
    if (devices.empty()) {
        return;
    }
    std::printf("ADDRESS  TYPE    STATE\n");
    for (const FoundDevice& d : devices) {
        std::printf("%7u  %-6s  %s\n", static_cast<unsigned>(d.address), TypeNameOfCode(d.type),
                    Hex(d.state).c_str());
    }
}

// Opens the port the options name; on failure says why and gives the exit status.
std::optional<int> OpenPort(BusClient& bus, const CliOptions& o) {
    std::vector<SerialPortEntry> ports;
    ListPortsLikeTheWindow(&ports);  // a sysfs that can't be read still allows a device path
    const std::optional<SerialPortEntry> port = ChoosePort(o.port, ports);
    if (!port) {
        Error("no port '" + o.port + "': 'orvalctl ports' lists the ports by name and number");
        return kExitPort;
    }
    std::string reason;
    if (!bus.Open(*port, o.line, &reason)) {
        // The window's words for a port that won't open, and why.
        Error("cannot open " + port->name + " (" + port->path + "): 串口被占用或不存!" +
              (reason.empty() ? "" : " " + reason));
        return kExitPort;
    }
    return std::nullopt;
}

// Searches on the current tab and collects the answers for the options' wait.
void Search(BusClient& bus, const CliOptions& o) {
    bus.ClearFound();
    bus.SendAndWait([&] { bus.Session().SendSearch(); });
    bus.Pump(WaitOf(o));
}

int RunPorts(const CliOptions& o) {
    std::vector<SerialPortEntry> ports;
    const bool ok = ListPortsLikeTheWindow(&ports);
    if (!ok) {
        Error("cannot read /sys/class/tty; only published ports are listed");
    }
    if (o.json) {
        JsonWriter json;
        json.BeginObject().Key("ports").BeginArray();
        for (const SerialPortEntry& p : ports) {
            json.BeginObject().Key("name").String(p.name).Key("number").Number(p.number);
            json.Key("path").String(p.path).Key("usb");
            if (p.usb.Empty()) {
                json.Null();
            } else {
                json.BeginObject()
                    .Key("manufacturer")
                    .String(p.usb.manufacturer)
                    .Key("product")
                    .String(p.usb.product)
                    .Key("serial")
                    .String(p.usb.serial)
                    .Key("by_id")
                    .String(p.usb.byId)
                    .EndObject();
            }
            json.EndObject();
        }
        json.EndArray().EndObject();
        PrintJson(json);
    } else if (ports.empty()) {
        std::printf("no serial ports\n");
    } else {
        std::size_t width = 4;
        for (const SerialPortEntry& p : ports) {
            width = std::max(width, p.name.size());
        }
        std::printf("%-*s  NUMBER  PATH\n", static_cast<int>(width), "NAME");
        for (const SerialPortEntry& p : ports) {
            std::string usb;
            for (const std::string* field :
                 {&p.usb.manufacturer, &p.usb.product, &p.usb.serial, &p.usb.byId}) {
                if (!field->empty()) {
                    usb += (usb.empty() ? "" : ", ") + *field;
                }
            }
            std::printf("%-*s  %6u  %s%s\n", static_cast<int>(width), p.name.c_str(),
                        static_cast<unsigned>(p.number), p.path.c_str(),
                        usb.empty() ? "" : ("  (" + usb + ")").c_str());
        }
    }
    return ok ? kExitOk : kExitNoAnswer;
}

int RunSearch(const CliOptions& o) {
    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    bus.UseTab(o.tab);
    Search(bus, o);
    const std::vector<FoundDevice> found = bus.Found();
    bus.Close();
    if (o.json) {
        JsonWriter json;
        json.BeginObject();
        WriteDevices(json, found);
        json.EndObject();
        PrintJson(json);
    } else {
        PrintDevices(found);
    }
    if (found.empty()) {
        Error(std::string("no ") + TypeName(o.tab) + " device answered within " + Seconds(o));
        return kExitNoAnswer;
    }
    return kExitOk;
}

int RunAssign(const CliOptions& o) {
    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    bus.UseTab(o.tab);
    // The device names itself by the state bytes of its search reply, as in the window's list.
    Search(bus, o);
    std::optional<std::array<std::uint8_t, 4>> state;
    for (const FoundDevice& d : bus.Found()) {
        if (d.address == o.address) {
            state = d.state;  // the last answer from that address, as the page keeps it
        }
    }
    const auto report = [&](bool written, bool answered, const std::vector<FoundDevice>& after) {
        if (o.json) {
            JsonWriter json;
            json.BeginObject()
                .Key("device")
                .Number(o.address)
                .Key("address")
                .Number(o.to)
                .Key("written")
                .Bool(written)
                .Key("answered")
                .Bool(answered);
            WriteDevices(json, after);
            json.EndObject();
            PrintJson(json);
        } else if (written) {
            std::printf("%s %u -> %u: %s\n", TypeName(o.tab), static_cast<unsigned>(o.address),
                        static_cast<unsigned>(o.to),
                        answered ? "a device answers at the new address"
                                 : "no device answers at the new address");
            PrintDevices(after);
        }
    };
    if (!state) {
        bus.Close();
        report(false, false, {});
        Error(std::string("no ") + TypeName(o.tab) + " device answered at address " +
              std::to_string(o.address) + " within " + Seconds(o));
        return kExitNoAnswer;
    }
    bus.SendAndWait([&] {
        bus.Session().SendAddressWrite(o.address, o.to, o.tab == kTabMirell ? &*state : nullptr);
    });
    // The pause handles received bytes, then the search shows where the devices are now.
    bus.Pump(milliseconds(kAddressWritePauseMs));
    Search(bus, o);
    const std::vector<FoundDevice> after = bus.Found();
    bus.Close();
    const bool answered = std::any_of(after.begin(), after.end(),
                                      [&](const FoundDevice& d) { return d.address == o.to; });
    report(true, answered, after);
    if (!answered) {
        Error("no device answered at address " + std::to_string(o.to) + " within " + Seconds(o));
        return kExitNoAnswer;
    }
    return kExitOk;
}

int RunAutoAssign(const CliOptions& o) {
    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    bus.UseTab(o.tab);
    const auto start = BusClient::Clock::now();
    bus.SendAndWait([&] { bus.Session().StartAutoAssign(o.from); });
    // The devices ask one after another; the assignment is over when the bus has been quiet
    // for the wait (or every address has been handed out once).
    const milliseconds quiet = WaitOf(o);
    for (;;) {
        const auto last = std::max(start, bus.LastFrameTime());
        const auto now = BusClient::Clock::now();
        if (now - last >= quiet || bus.HandedOut().size() >= 255) {
            break;
        }
        bus.Pump(std::min(
            milliseconds(50),
            std::chrono::duration_cast<milliseconds>(quiet - (now - last)) + milliseconds(1)));
    }
    const std::vector<HandedOutAddress> handed = bus.HandedOut();
    const unsigned next = bus.Session().NextAddress();
    bus.Close();
    const bool allConfirmed = std::all_of(handed.begin(), handed.end(),
                                          [](const HandedOutAddress& h) { return h.confirmed; });
    if (o.json) {
        JsonWriter json;
        json.BeginObject().Key("assigned").BeginArray();
        for (const HandedOutAddress& h : handed) {
            json.BeginObject()
                .Key("address")
                .Number(h.address)
                .Key("identity")
                .String(Hex(h.identity))
                .Key("confirmed")
                .Bool(h.confirmed)
                .EndObject();
        }
        json.EndArray().Key("next").Number(next).EndObject();
        PrintJson(json);
    } else {
        if (!handed.empty()) {
            std::printf("ADDRESS  IDENTITY     CONFIRMED\n");
        }
        for (const HandedOutAddress& h : handed) {
            std::printf("%7u  %s  %s\n", static_cast<unsigned>(h.address), Hex(h.identity).c_str(),
                        h.confirmed ? "yes" : "no");
        }
        std::printf("next address: %u\n", next);
    }
    if (handed.empty()) {
        Error(std::string("no ") + TypeName(o.tab) + " device asked for an address within " +
              Seconds(o));
        return kExitNoAnswer;
    }
    if (!allConfirmed) {
        Error("not every device confirmed its address");
        return kExitNoAnswer;
    }
    return kExitOk;
}

int RunReadConfig(const CliOptions& o) {
    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    bus.UseTab(kTabTarvo);
    bus.SendAndWait([&] { bus.Session().SendReadConfig(o.address); });
    const bool got = bus.PumpUntil(
        [&] { return bus.Config().has_value() && bus.ConfigSource() == o.address; }, WaitOf(o));
    std::optional<TarvoConfig> config;
    if (got) {
        config = DecodeTarvoConfig(*bus.Config());
    }
    bus.Close();
    if (!config) {
        if (o.json) {
            JsonWriter json;
            json.BeginObject().Key("address").Number(o.address).Key("config").Null().EndObject();
            PrintJson(json);
        }
        Error("no configuration reply from address " + std::to_string(o.address) + " within " +
              Seconds(o));
        return kExitNoAnswer;
    }
    const TarvoConfig& c = *config;
    if (o.json) {
        const auto word = [](const std::string& w, unsigned index) {
            return w.empty() ? "index " + std::to_string(index) : w;
        };
        JsonWriter json;
        json.BeginObject().Key("address").Number(o.address).Key("config").BeginObject();
        json.Key("key_mode").String(c.keyMode != 0 ? "short-long" : "press-release");
        json.Key("long_press_ms").Number(c.longPressMs);
        json.Key("press_codes").String(FormatCodes(c.pressCodes));
        json.Key("release_codes").String(FormatCodes(c.releaseCodes));
        json.Key("baud").Number(c.baud);
        json.Key("data_bits").String(word(DataBitsWord(c.dataBitsIndex), c.dataBitsIndex));
        json.Key("stop_bits").String(word(StopBitsWord(c.stopBitsIndex), c.stopBitsIndex));
        json.Key("parity").String(word(ParityWord(c.parityIndex), c.parityIndex));
        json.EndObject().EndObject();
        PrintJson(json);
    } else {
        std::printf("# key configuration of TARVO %u\n%s", static_cast<unsigned>(o.address),
                    FormatKeyConfig(c).c_str());
    }
    return kExitOk;
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return text.str();
}

int RunWriteKeyConfig(const CliOptions& o) {
    const std::optional<std::string> text = ReadFile(o.file);
    if (!text) {
        Error("cannot read " + o.file);
        return kExitUsage;
    }
    KeyConfigError fault;
    const std::optional<KeyConfigSettings> settings = ParseKeyConfig(*text, &fault);
    if (!settings) {
        std::string where = o.file;
        if (fault.line > 0) {
            where += ":" + std::to_string(fault.line);
        }
        if (!fault.key.empty()) {
            where += ": " + fault.key;
        }
        Error(where + ": " + fault.message);
        return kExitUsage;
    }
    const KeyConfigSettings& s = *settings;

    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    bus.UseTab(kTabTarvo);
    const std::size_t framesBefore = bus.Frames().size();
    const std::uint8_t device = o.address;
    constexpr milliseconds kFrameGap(100);

    // Key mode and long-press time, the first and the second code set, the serial format: each
    // built and handed over under the frame's lock, and the next one 100 ms after it went out.
    std::size_t written = 0;
    const auto send = [&](auto build) {
        if (bus.SendAndWait([&] { bus.Session().BuildAndSend(build); })) {
            ++written;
        }
        bus.Pump(kFrameGap);
    };
    send([&](TxFrame::Bytes& b) {
        return BuildKeyModeFrame(b, device, s.shortLong, s.longPressMs);
    });
    send([&](TxFrame::Bytes& b) {
        return BuildFunctionCodesFrame(b, device, true, s.pressCodes.data(), s.pressCodes.size());
    });
    send([&](TxFrame::Bytes& b) {
        return BuildFunctionCodesFrame(b, device, false, s.releaseCodes.data(),
                                       s.releaseCodes.size());
    });
    send([&](TxFrame::Bytes& b) {
        return BuildSerialFormatFrame(b, s.baud, s.dataBitsIndex, s.stopBitsIndex, s.parityIndex);
    });

    // The panel confirms each frame with a frame of the same command from its address.
    struct Confirmations {
        bool keyMode = false, pressCodes = false, releaseCodes = false, serialFormat = false;
        bool All() const { return keyMode && pressCodes && releaseCodes && serialFormat; }
    } got;
    const auto count = [&] {
        got = {};
        const auto& frames = bus.Frames();
        for (std::size_t i = framesBefore; i < frames.size(); ++i) {
            const auto& f = frames[i];
            if (f[kPosSource] != device) {
                continue;
            }
            switch (f[kPosCommand]) {
                case kCmdKeyMode:
                    got.keyMode = true;
                    break;
                case kCmdFunctionCodes:
                    (got.pressCodes ? got.releaseCodes : got.pressCodes) = true;
                    break;
                case kCmdSerialFormat:
                    got.serialFormat = true;
                    break;
                default:
                    break;
            }
        }
        return got.All();
    };
    bus.PumpUntil(count, WaitOf(o));
    count();
    bus.Close();

    if (o.json) {
        JsonWriter json;
        json.BeginObject()
            .Key("address")
            .Number(device)
            .Key("written")
            .Number(static_cast<std::int64_t>(written))
            .Key("confirmed")
            .BeginObject()
            .Key("key_mode")
            .Bool(got.keyMode)
            .Key("press_codes")
            .Bool(got.pressCodes)
            .Key("release_codes")
            .Bool(got.releaseCodes)
            .Key("serial_format")
            .Bool(got.serialFormat)
            .EndObject()
            .EndObject();
        PrintJson(json);
    } else {
        const auto yes = [](bool b) { return b ? "confirmed" : "NOT confirmed"; };
        std::printf("TARVO %u: %zu of 4 frames written\n", static_cast<unsigned>(device), written);
        std::printf("  key mode and long-press time  %s\n", yes(got.keyMode));
        std::printf("  first code set                %s\n", yes(got.pressCodes));
        std::printf("  second code set               %s\n", yes(got.releaseCodes));
        std::printf("  serial format                 %s\n", yes(got.serialFormat));
    }
    if (written < 4 || !got.All()) {
        Error("TARVO " + std::to_string(device) + " did not confirm every frame within " +
              Seconds(o));
        return kExitNoAnswer;
    }
    return kExitOk;
}

// MIRELL and OSKAN commands: one frame, no answer. Done when the frame went out.
int RunDeviceCommand(const CliOptions& o) {
    BusClient bus;
    if (const auto failed = OpenPort(bus, o)) {
        return *failed;
    }
    const bool mirell = o.command == CliCommand::Mirell;
    bus.UseTab(mirell ? kTabMirell : kTabOskan);
    const bool sent = bus.SendAndWait([&] {
        bus.Session().BuildAndSend([&](TxFrame::Bytes& b) {
            if (mirell) {
                return BuildMirellCommandFrame(b, o.address, o.mirellFunction, o.mirellValue);
            }
            if (o.oskanChannel == 0) {
                return BuildOskanFeedbackFrame(b, o.address, o.on);
            }
            return BuildOskanChannelFrame(b, o.address, o.oskanChannel - 1, o.on);
        });
    });
    const std::vector<std::vector<std::uint8_t>> frames = bus.WrittenFrames();
    bus.Close();
    const std::string frame = sent && !frames.empty() ? Hex(frames.back()) : std::string();
    const char* model = mirell ? "MIRELL" : "OSKAN";
    if (o.json) {
        JsonWriter json;
        json.BeginObject().Key("address").Number(o.address).Key("sent").Bool(sent);
        json.Key("frame").String(frame).EndObject();
        PrintJson(json);
    } else if (sent) {
        std::printf("%s %u: sent %s\n", model, static_cast<unsigned>(o.address), frame.c_str());
    }
    if (!sent) {
        Error(std::string("the frame to ") + model + " " + std::to_string(o.address) +
              " did not go out");
        return kExitNoAnswer;
    }
    return kExitOk;
}

}  // namespace

int RunCommand(const CliOptions& options) {
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
    }
    return kExitUsage;
}
