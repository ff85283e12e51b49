#include "cli/output.h"

#include <algorithm>
#include <cstdarg>

#include "bus/frame_decode.h"
#include "cli/json_writer.h"
#include "cli/key_config_file.h"
#include "cli/project_output.h"
#include "session/shown_text.h"

namespace {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
    return FormatHex(bytes.data(), bytes.size());
}

const char* TypeNameOfCode(std::uint8_t code) {
    const DeviceModelInfo* model = ModelByTypeCode(code);
    return model ? model->name : "unknown";
}

void DevicesJson(JsonWriter& json, const std::vector<FoundDevice>& devices) {
    json.Key("devices").BeginArray();
    for (const FoundDevice& d : devices) {
        json.BeginObject().Key("address").Number(d.address);
        json.Key("type").String(TypeNameOfCode(d.type)).Key("state").String(Hex(d.state));
        json.EndObject();
    }
    json.EndArray();
}

std::string DevicesText(const std::vector<FoundDevice>& devices) {
    if (devices.empty()) {
        return {};
    }
    std::string text = "ADDRESS  TYPE    STATE\n";
    for (const FoundDevice& d : devices) {
        text += Format("%7u  %-6s  %s\n", static_cast<unsigned>(d.address), TypeNameOfCode(d.type),
                       Hex(d.state).c_str());
    }
    return text;
}

// One renderer per result: Text() for people, Json() for scripts.
struct Renderer {
    bool json;

    std::string operator()(const std::monostate&) const { return {}; }

    std::string operator()(const PortsResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("ports").BeginArray();
            for (const SerialPortEntry& p : r.ports) {
                w.BeginObject().Key("name").String(p.name).Key("number").Number(p.number);
                w.Key("path").String(p.path).Key("usb");
                if (p.usb.Empty()) {
                    w.Null();
                } else {
                    w.BeginObject().Key("manufacturer").String(p.usb.manufacturer);
                    w.Key("product").String(p.usb.product).Key("serial").String(p.usb.serial);
                    w.Key("by_id").String(p.usb.byId).EndObject();
                }
                w.EndObject();
            }
            w.EndArray().EndObject();
            return w.Text() + "\n";
        }
        if (r.ports.empty()) {
            return "no serial ports\n";
        }
        // Names come from the system and from whoever publishes a port: shown escaped, so
        // that none can break the table or drive the terminal.
        std::size_t width = 4;
        for (const SerialPortEntry& p : r.ports) {
            width = std::max(width, Shown(p.name).size());
        }
        std::string text = Format("%-*s  NUMBER  PATH\n", static_cast<int>(width), "NAME");
        for (const SerialPortEntry& p : r.ports) {
            std::string usb;
            for (const std::string* field :
                 {&p.usb.manufacturer, &p.usb.product, &p.usb.serial, &p.usb.byId}) {
                if (!field->empty()) {
                    usb += (usb.empty() ? "" : ", ") + Shown(*field);
                }
            }
            text += Format("%-*s  %6u  %s", static_cast<int>(width), Shown(p.name).c_str(),
                           static_cast<unsigned>(p.number), Shown(p.path, 4096).c_str()) +
                    (usb.empty() ? "" : "  (" + usb + ")") + "\n";
        }
        return text;
    }

    std::string operator()(const SearchResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject();
            DevicesJson(w, r.devices);
            return w.EndObject().Text() + "\n";
        }
        return DevicesText(r.devices);
    }

    std::string operator()(const AssignResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("device").Number(r.device).Key("address").Number(r.to);
            w.Key("written").Bool(r.written).Key("answered").Bool(r.answered);
            DevicesJson(w, r.after);
            return w.EndObject().Text() + "\n";
        }
        if (!r.written) {
            return {};
        }
        return Format("%s %u -> %u: %s\n", r.model ? r.model->name : "unknown",
                      static_cast<unsigned>(r.device), static_cast<unsigned>(r.to),
                      r.answered ? "a device answers at the new address"
                                 : "no device answers at the new address") +
               DevicesText(r.after);
    }

    std::string operator()(const AutoAssignResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("assigned").BeginArray();
            for (const HandedOutAddress& h : r.assigned) {
                w.BeginObject().Key("address").Number(h.address);
                w.Key("identity").String(Hex(h.identity)).Key("confirmed").Bool(h.confirmed);
                w.EndObject();
            }
            return w.EndArray().Key("next").Number(r.next).EndObject().Text() + "\n";
        }
        std::string text = r.assigned.empty() ? "" : "ADDRESS  IDENTITY     CONFIRMED\n";
        for (const HandedOutAddress& h : r.assigned) {
            text += Format("%7u  %s  %s\n", static_cast<unsigned>(h.address),
                           Hex(h.identity).c_str(), h.confirmed ? "yes" : "no");
        }
        return text + Format("next address: %u\n", r.next);
    }

    std::string operator()(const ReadConfigResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("address").Number(r.address).Key("config");
            if (!r.config) {
                return w.Null().EndObject().Text() + "\n";
            }
            const TarvoConfig& c = *r.config;
            const auto word = [](const std::string& text, unsigned index) {
                return text.empty() ? "index " + std::to_string(index) : text;
            };
            w.BeginObject();
            w.Key("key_mode").String(c.keyMode != 0 ? "short-long" : "press-release");
            w.Key("long_press_ms").Number(c.longPressMs);
            w.Key("press_codes").String(FormatCodes(c.pressCodes));
            w.Key("release_codes").String(FormatCodes(c.releaseCodes));
            w.Key("baud").Number(c.baud);
            w.Key("data_bits").String(word(DataBitsWord(c.dataBitsIndex), c.dataBitsIndex));
            w.Key("stop_bits").String(word(StopBitsWord(c.stopBitsIndex), c.stopBitsIndex));
            w.Key("parity").String(word(ParityWord(c.parityIndex), c.parityIndex));
            return w.EndObject().EndObject().Text() + "\n";
        }
        if (!r.config) {
            return {};
        }
        return Format("# key configuration of TARVO %u\n", static_cast<unsigned>(r.address)) +
               FormatKeyConfig(*r.config);
    }

    std::string operator()(const WriteKeyConfigResult& r) const {
        constexpr const char* keys[] = {"key_mode", "press_codes", "release_codes",
                                        "serial_format"};
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("address").Number(r.address);
            w.Key("written").Number(static_cast<std::int64_t>(r.written)).Key("confirmed");
            w.BeginObject();
            for (std::size_t i = 0; i < r.confirmed.size(); ++i) {
                w.Key(keys[i]).Bool(r.confirmed[i] == KeyConfigConfirmations::State::Confirmed);
            }
            return w.EndObject().EndObject().Text() + "\n";
        }
        std::string text = Format("TARVO %u: %zu of 4 frames written\n",
                                  static_cast<unsigned>(r.address), r.written);
        for (std::size_t i = 0; i < r.confirmed.size(); ++i) {
            using State = KeyConfigConfirmations::State;
            const State state = r.confirmed[i];
            text += Format("  %-30s%s\n", StepName(kKeyConfigSteps[i]),
                           state == State::Confirmed     ? "confirmed"
                           : state == State::OtherValues ? "confirmed with other values"
                           : state == State::Twice       ? "confirmed more than once"
                                                         : "NOT confirmed");
        }
        return text;
    }

    std::string operator()(const FindBaudResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("rates").BeginArray();
            for (const RateTried& t : r.rates) {
                w.BeginObject().Key("baud").Number(t.baud).Key("answers");
                w.Number(static_cast<std::int64_t>(t.answers)).Key("frames");
                w.Number(static_cast<std::int64_t>(t.frames)).Key("dropped");
                w.Number(static_cast<std::int64_t>(t.dropped)).EndObject();
            }
            w.EndArray().Key("baud");
            if (r.found) {
                w.Number(*r.found);
            } else {
                w.Null();
            }
            return w.EndObject().Text() + "\n";
        }
        std::string text = "   BAUD  ANSWERS  FRAMES  DROPPED\n";
        for (const RateTried& t : r.rates) {
            text += Format("%7u  %7zu  %6zu  %7zu\n", static_cast<unsigned>(t.baud), t.answers,
                           t.frames, t.dropped);
        }
        if (r.found) {
            text += Format("the %s devices answer at %u bit/s\n", r.model ? r.model->name : "",
                           static_cast<unsigned>(*r.found));
        }
        return text;
    }

    std::string operator()(const DeviceCommandResult& r) const {
        if (json) {
            JsonWriter w;
            w.BeginObject().Key("address").Number(r.address).Key("sent").Bool(r.sent);
            return w.Key("frame").String(r.frame).EndObject().Text() + "\n";
        }
        if (!r.sent) {
            return {};
        }
        return Format("%s %u: sent %s\n", r.model ? r.model->title : "?",
                      static_cast<unsigned>(r.address), r.frame.c_str());
    }

    std::string operator()(const ProjectRunResult& r) const { return RenderProjectRun(r, json); }
    std::string operator()(const IdentifyResult& r) const { return RenderIdentify(r, json); }
};

}  // namespace

std::string RenderResult(const CommandOutput& output, bool json) {
    return std::visit(Renderer{json}, output);
}

void PrintResult(const CommandResult& result, bool json, std::FILE* out, std::FILE* err) {
    std::string document = RenderResult(result.output, json);
    if (result.partial && json && document.size() > 2 && document.back() == '\n') {
        // The same document, marked as what was done before the command stopped.
        const std::size_t close = document.rfind('}');
        document.insert(close, ", \"partial\": true");
    }
    std::fwrite(document.data(), 1, document.size(), out);
    std::fflush(out);
    for (const std::string& error : result.errors) {
        // A message may carry the window's words on a line of their own.
        std::size_t begin = 0;
        while (begin <= error.size()) {
            const std::size_t end = std::min(error.find('\n', begin), error.size());
            const std::string line = error.substr(begin, end - begin);
            std::fprintf(err, "orvalctl: %s\n", line.c_str());
            begin = end + 1;
        }
    }
}
