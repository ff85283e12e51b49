#include "cli/cli_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "bus/frame.h"
#include "cli/device_actions.h"

namespace {

// Options each subcommand takes besides --json and --help.
enum Option : unsigned {
    kPort = 1u << 0,
    kLine = 1u << 1,  // --baud --data --stop --parity
    kType = 1u << 2,
    kAddress = 1u << 3,
    kTo = 1u << 4,
    kFrom = 1u << 5,
    kWait = 1u << 6,
    kFile = 1u << 7,
};

struct CommandInfo {
    CliCommand command;
    const char* name;
    unsigned options;
    unsigned required;
    const char* usage;
    const char* help;
    double defaultWait;
};

constexpr char kLineHelp[] =
    "  --baud N                line rate of the local port (default 9600)\n"
    "  --data N                data bits 5..8 (default 8)\n"
    "  --stop 1|1.5|2          stop bits (default 1)\n"
    "  --parity none|odd|even|mark|space   (default none)\n"
    "  --json                  print one JSON document instead of text\n";

const CommandInfo kCommands[] = {
    {CliCommand::Ports, "ports", 0, 0, "orvalctl ports [--json]",
     "Lists the serial ports as the window does: name, number, device path and what a USB\n"
     "adapter says about itself. Ports published by orval-sim are listed too.\n",
     0},
    {CliCommand::Search, "search", kPort | kLine | kType | kWait, kPort | kType,
     "orvalctl search --port P --type tarvo|mirell|oskan [--wait S] [line options] [--json]",
     "Searches the bus for devices of one model and lists each answer: address and state\n"
     "bytes. Waits S seconds (default 1) for answers. Exit 1 when none answered.\n",
     1.0},
    {CliCommand::Assign, "assign", kPort | kLine | kType | kAddress | kTo | kWait,
     kPort | kType | kAddress | kTo,
     "orvalctl assign --port P --type mirell|oskan --address A --to N [--wait S] [line "
     "options] [--json]",
     "Gives the device at address A the address N, as the window's address write does:\n"
     "searches, writes the address (a MIRELL device is named by its state bytes), pauses\n"
     "300 ms and searches again. Each search waits S seconds (default 1). Exit 1 when no\n"
     "device answered at A, or none answers at N afterwards.\n",
     1.0},
    {CliCommand::AutoAssign, "auto-assign", kPort | kLine | kType | kFrom | kWait,
     kPort | kType | kFrom,
     "orvalctl auto-assign --port P --type T --from N [--wait S] [line options] [--json]",
     "Starts the automatic address assignment: the devices ask for an address one after\n"
     "another and get N, N+1, ... (after 255 comes 1). Ends when no device has asked for S\n"
     "seconds (default 2). Exit 1 when no device asked.\n",
     2.0},
    {CliCommand::ReadConfig, "read-config", kPort | kLine | kAddress | kWait, kPort | kAddress,
     "orvalctl read-config --port P --address A [--wait S] [line options] [--json]",
     "Reads the key configuration of the TARVO panel at address A and prints it in the INI\n"
     "format that write-key-config takes. Waits S seconds (default 2) for the reply; exit 1\n"
     "without one.\n",
     2.0},
    {CliCommand::WriteKeyConfig, "write-key-config", kPort | kLine | kAddress | kFile | kWait,
     kPort | kAddress | kFile,
     "orvalctl write-key-config --port P --address A --file F [--wait S] [line options] "
     "[--json]",
     "Writes the key configuration in the INI file F to the TARVO panel at address A: key\n"
     "mode and long-press time, the first and the second code set, the device's serial\n"
     "format; four frames 100 ms apart, as the window's \"写入\". Then waits S seconds\n"
     "(default 2) for the panel's confirmations; exit 1 when one is missing. A bad file is\n"
     "exit 2 with the key and line at fault. The format is in orvalctl(1).\n",
     2.0},
    {CliCommand::Mirell, "mirell", kPort | kLine | kAddress, kPort | kAddress,
     "orvalctl mirell --port P --address A screen|lifter up|down|stop | projector|seq on|off "
     "[line options] [--json]",
     "Drives the MIRELL sequencer at address A as its page does. The device does not answer;\n"
     "exit 0 means the frame went out on the line.\n",
     0},
    {CliCommand::Oskan, "oskan", kPort | kLine | kAddress, kPort | kAddress,
     "orvalctl oskan --port P --address A channel K on|off | feedback on|off [line options] "
     "[--json]",
     "Switches channel K (1..8) or the feedback of the OSKAN device at address A, as its page\n"
     "does. The device does not answer; exit 0 means the frame went out on the line.\n",
     0},
};

const CommandInfo* FindCommand(std::string_view name) {
    for (const CommandInfo& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

const CommandInfo& InfoOf(CliCommand command) {
    for (const CommandInfo& c : kCommands) {
        if (c.command == command) {
            return c;
        }
    }
    return kCommands[0];
}

constexpr char kToolUsage[] = "orvalctl COMMAND [options]; orvalctl --help";

std::optional<long> ParseInteger(const std::string& text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    return std::strtol(text.c_str(), nullptr, 10);
}

std::optional<std::uint8_t> ParseAddress(const std::string& text) {
    const std::optional<long> n = ParseInteger(text);
    if (!n || *n < 1 || *n > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*n);
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(s) || s <= 0 ||
        s > 3600) {
        return std::nullopt;
    }
    return s;
}

struct Parser {
    explicit Parser(const std::vector<std::string>& a) : args(a) {}

    const std::vector<std::string>& args;
    CliParse result;
    const CommandInfo* info = nullptr;
    unsigned given = 0;
    std::vector<std::string> positional;

    bool Fail(std::string message) {
        result.outcome = CliParse::Outcome::Error;
        result.text = std::move(message);
        result.usage = info ? info->usage : kToolUsage;
        return false;
    }

    // The value of the option at args[i]: after '=' or the next argument.
    bool TakeValue(std::size_t& i, const std::string& name, const std::string* inlineValue,
                   std::string* value) {
        if (inlineValue) {
            *value = *inlineValue;
            return true;
        }
        if (i + 1 >= args.size()) {
            return Fail(name + " needs a value");
        }
        *value = args[++i];
        return true;
    }

    bool Option(std::size_t& i) {
        const std::string& arg = args[i];
        std::string name = arg;
        std::string inlineText;
        const std::string* inlineValue = nullptr;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineText = arg.substr(eq + 1);
            inlineValue = &inlineText;
        }
        if (name == "--json" || name == "--help" || name == "-h") {
            if (inlineValue) {
                return Fail(name + " takes no value");
            }
            if (name == "--json") {
                result.options.json = true;
            } else {
                result.outcome = CliParse::Outcome::Help;
            }
            return true;
        }
        struct Known {
            const char* name;
            unsigned bit;
        };
        constexpr Known known[] = {{"--port", kPort},       {"--baud", kLine},   {"--data", kLine},
                                   {"--stop", kLine},       {"--parity", kLine}, {"--type", kType},
                                   {"--address", kAddress}, {"--to", kTo},       {"--from", kFrom},
                                   {"--wait", kWait},       {"--file", kFile}};
        unsigned bit = 0;
        for (const Known& k : known) {
            if (name == k.name) {
                bit = k.bit;
            }
        }
        if (bit == 0) {
            return Fail("unknown option '" + name + "'");
        }
        if (!info || !(info->options & bit)) {
            return Fail(name + " is not an option of " +
                        std::string(info ? info->name : "orvalctl without a command"));
        }
        std::string value;
        if (!TakeValue(i, name, inlineValue, &value)) {
            return false;
        }
        given |= bit;
        CliOptions& o = result.options;
        if (name == "--port") {
            if (value.empty()) {
                return Fail("--port needs a port name, number or device path");
            }
            o.port = value;
        } else if (name == "--baud") {
            const std::optional<long> n = ParseInteger(value);
            if (!n || *n < 50 || *n > 4000000) {
                return Fail("--baud: '" + value + "' is no line rate (50..4000000)");
            }
            o.line.baud = static_cast<unsigned>(*n);
        } else if (name == "--data") {
            const std::optional<long> n = ParseInteger(value);
            if (!n || *n < 5 || *n > 8) {
                return Fail("--data: '" + value + "' is not 5, 6, 7 or 8");
            }
            o.line.dataBits = static_cast<std::uint8_t>(*n);
        } else if (name == "--stop") {
            const std::optional<StopBits> stopBits = StopBitsFromWord(value);
            if (!stopBits) {
                return Fail("--stop: '" + value + "' is not 1, 1.5 or 2");
            }
            o.line.stopBits = *stopBits;
        } else if (name == "--parity") {
            const std::optional<Parity> parity = ParityFromWord(value);
            if (!parity) {
                return Fail("--parity: '" + value + "' is not none, odd, even, mark or space");
            }
            o.line.parity = *parity;
        } else if (name == "--type") {
            if (value == "tarvo") {
                o.tab = kTabTarvo;
            } else if (value == "mirell") {
                o.tab = kTabMirell;
            } else if (value == "oskan") {
                o.tab = kTabOskan;
            } else {
                return Fail("--type: '" + value + "' is not tarvo, mirell or oskan");
            }
        } else if (name == "--address" || name == "--to" || name == "--from") {
            const std::optional<std::uint8_t> a = ParseAddress(value);
            if (!a) {
                return Fail(name + ": '" + value + "' is no device address (1..255)");
            }
            (name == "--address" ? o.address : name == "--to" ? o.to : o.from) = *a;
        } else if (name == "--wait") {
            const std::optional<double> s = ParseSeconds(value);
            if (!s) {
                return Fail("--wait: '" + value + "' is no time in seconds (above 0, up to 3600)");
            }
            o.waitSeconds = *s;
        } else if (name == "--file") {
            if (value.empty()) {
                return Fail("--file needs a file name");
            }
            o.file = value;
        }
        return true;
    }

    bool Positional() {
        CliOptions& o = result.options;
        if (info->command == CliCommand::Mirell) {
            if (positional.size() != 2) {
                return Fail("mirell needs a function and an action, e.g. 'screen up'");
            }
            const std::optional<MirellAction> a = FindMirellAction(positional[0], positional[1]);
            if (!a) {
                return Fail("mirell: '" + positional[0] + " " + positional[1] +
                            "' is none of screen|lifter up|down|stop, projector|seq on|off");
            }
            o.mirellFunction = a->function;
            o.mirellValue = a->value;
            return true;
        }
        if (info->command == CliCommand::Oskan) {
            std::optional<bool> on;
            if (positional.size() == 3 && positional[0] == "channel") {
                const std::optional<long> k = ParseInteger(positional[1]);
                if (!k || *k < 1 || *k > 8) {
                    return Fail("oskan: channel '" + positional[1] + "' is not 1..8");
                }
                o.oskanChannel = static_cast<unsigned>(*k);
                on = ParseOnOff(positional[2]);
            } else if (positional.size() == 2 && positional[0] == "feedback") {
                o.oskanChannel = 0;
                on = ParseOnOff(positional[1]);
            } else {
                return Fail("oskan needs 'channel K on|off' or 'feedback on|off'");
            }
            if (!on) {
                return Fail("oskan: say 'on' or 'off'");
            }
            o.on = *on;
            return true;
        }
        if (!positional.empty()) {
            return Fail("unexpected argument '" + positional.front() + "'");
        }
        return true;
    }

    bool Run() {
        std::size_t first = 0;
        // Options before the command: only --json and --help.
        for (; first < args.size() && args[first].rfind("-", 0) == 0; ++first) {
            std::size_t i = first;
            if (!Option(i)) {
                return false;
            }
        }
        if (first == args.size()) {
            if (result.outcome == CliParse::Outcome::Help) {
                result.text = ToolHelp();
                return true;
            }
            return Fail("no command given");
        }
        info = FindCommand(args[first]);
        if (!info) {
            return Fail("unknown command '" + args[first] + "'");
        }
        result.options.command = info->command;
        for (std::size_t i = first + 1; i < args.size(); ++i) {
            if (args[i].size() > 1 && args[i][0] == '-') {
                if (!Option(i)) {
                    return false;
                }
            } else {
                positional.push_back(args[i]);
            }
        }
        if (result.outcome == CliParse::Outcome::Help) {
            result.text = std::string("Usage: ") + info->usage + "\n\n" + info->help;
            if (info->options & kLine) {
                result.text += "\n" + std::string(kLineHelp);
            }
            return true;
        }
        if (!Positional()) {
            return false;
        }
        constexpr std::pair<unsigned, const char*> names[] = {
            {kPort, "--port"}, {kType, "--type"}, {kAddress, "--address"},
            {kTo, "--to"},     {kFrom, "--from"}, {kFile, "--file"}};
        for (const auto& [bit, name] : names) {
            if ((info->required & bit) && !(given & bit)) {
                return Fail(std::string(info->name) + " needs " + name);
            }
        }
        if (info->command == CliCommand::Assign && result.options.tab == kTabTarvo) {
            return Fail("assign: TARVO panels get their address from auto-assign");
        }
        result.outcome = CliParse::Outcome::Run;
        return true;
    }
};

}  // namespace

double CliOptions::Wait() const {
    return waitSeconds ? *waitSeconds : InfoOf(command).defaultWait;
}

CliParse ParseCommandLine(const std::vector<std::string>& args) {
    Parser parser(args);
    parser.Run();
    return parser.result;
}

const char* CommandName(CliCommand command) {
    return InfoOf(command).name;
}

const char* TypeName(int tab) {
    switch (tab) {
        case kTabTarvo:
            return "tarvo";
        case kTabMirell:
            return "mirell";
        case kTabOskan:
            return "oskan";
        default:
            return "unknown";
    }
}

std::string ToolHelp() {
    std::string text =
        "Usage: orvalctl COMMAND [options]\n"
        "\n"
        "Commissions devices on the ORVAL bus from a script: lists ports, searches the bus,\n"
        "gives addresses, reads and writes TARVO key configurations, drives MIRELL and OSKAN\n"
        "devices. Frames are those the Ravlin window sends for the same action.\n"
        "\n"
        "Commands:\n";
    for (const CommandInfo& c : kCommands) {
        text += "  ";
        text += c.usage;
        text += "\n";
    }
    text +=
        "\n"
        "--port takes the name that 'orvalctl ports' lists, the port's number or a device\n"
        "path. 'orvalctl COMMAND --help' tells more about each command.\n"
        "\n"
        "Exit status: 0 done; 1 the bus did not answer as asked; 2 bad arguments or file;\n"
        "3 the port cannot be opened.\n";
    return text;
}
