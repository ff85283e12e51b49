#include "cli/port_choice.h"

#include <filesystem>
#include <system_error>

#include "platform/system_ports.h"

bool ListPortsLikeTheWindow(std::vector<SerialPortEntry>* ports) {
    return ListSerialPorts(SystemPortSources(), ports);
}

std::optional<SerialPortEntry> ChoosePort(const std::string& choice,
                                          const std::vector<SerialPortEntry>& ports,
                                          std::string* why) {
    for (const SerialPortEntry& p : ports) {
        if (p.name == choice) {
            return p;
        }
    }
    if (!choice.empty() && choice.size() <= 9 &&
        choice.find_first_not_of("0123456789") == std::string::npos) {
        const auto number = static_cast<std::uint32_t>(std::stoul(choice));
        for (const SerialPortEntry& p : ports) {
            if (p.number == number) {
                return p;
            }
        }
        return std::nullopt;
    }
    if (choice.find('/') == std::string::npos) {
        return std::nullopt;
    }
    // Something that is there but no port (a terminal, /dev/null, a file) is never written to;
    // a path that is not there at all goes on to the open, which says so in the window's words.
    std::error_code there;
    if (std::filesystem::exists(choice, there)) {
        if (const std::string reason = WhyNotAPort(choice); !reason.empty()) {
            if (why) {
                *why = reason;
            }
            return std::nullopt;
        }
    }
    // The same device under another spelling (a link, "..") is the listed port.
    std::error_code ec;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(choice, ec);
    for (const SerialPortEntry& p : ports) {
        std::error_code ec2;
        if (p.path == choice ||
            (!ec && std::filesystem::weakly_canonical(p.path, ec2) == wanted && !ec2)) {
            return p;
        }
    }
    return SerialPortEntry{choice, kUnlistedPortNumber, choice, {}};
}
