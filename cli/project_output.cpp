#include "cli/project_output.h"

#include <cmath>
#include <cstdio>

#include "cli/json_writer.h"

namespace {

std::string Hex2(unsigned value, const char* format) {
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of the UTF-8 sequence at text[i] and its code point; 0 when it is not UTF-8.
std::size_t Decode(std::string_view text, std::size_t i, char32_t* code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t length = 0;
    char32_t c = 0;
    if (b < 0x80) {
        *code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    *code = c;
    return length;
}

// Characters that change how the rest of a line shows: line and paragraph separators and the
// bidirectional embeddings, overrides and isolates.
bool Invisible(char32_t c) {
    return c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

const char* ModelName(DeviceModel model) {
    return ModelInfo(model).name;
}

std::string Identities(const DeviceReport& d) {
    std::string text;
    for (const DeviceIdentity& id : d.identities) {
        text += (text.empty() ? "" : ", ") + FormatIdentity(id);
    }
    return text.empty() ? "-" : text;
}

void ValueJson(JsonWriter& w, const FieldValue& v) {
    if (v.number) {
        w.Number(*v.number);
    } else {
        w.String(v.text);
    }
}

std::string ShowValue(const FieldValue& v) {
    return v.number ? std::to_string(*v.number) : "\"" + EscapeForTerminal(v.text) + "\"";
}

const char* KindWord(ProjectRunResult::Kind kind) {
    switch (kind) {
        case ProjectRunResult::Kind::Capture:
            return "captured";
        case ProjectRunResult::Kind::Check:
            return "checked";
        case ProjectRunResult::Kind::Apply:
            return "applied";
        case ProjectRunResult::Kind::Resolve:
            return "resolved";
    }
    return "";
}

std::string Json(const ProjectRunResult& r) {
    JsonWriter w;
    w.BeginObject().Key("devices").BeginArray();
    for (const DeviceReport& d : r.report.devices) {
        w.BeginObject().Key("type").String(ModelName(d.model));
        w.Key("address").Number(d.address).Key("label").String(d.label);
        w.Key("identity");
        if (d.identities.size() == 1) {
            w.String(FormatIdentity(d.identities[0]));
        } else {
            w.Null();
        }
        w.Key("identities").BeginArray();
        for (const DeviceIdentity& id : d.identities) {
            w.String(FormatIdentity(id));
        }
        w.EndArray().Key("status").String(StatusName(d.status));
        w.Key("differences").BeginArray();
        for (const FieldDifference& f : d.differences) {
            w.BeginObject().Key("field").String(f.field).Key("planned");
            ValueJson(w, f.planned);
            w.Key("found");
            ValueJson(w, f.found);
            w.EndObject();
        }
        w.EndArray();
        if (!d.note.empty()) {
            w.Key("note").String(d.note);
        }
        w.EndObject();
    }
    w.EndArray().Key("summary").BeginObject();
    const auto summary = r.report.Summary();
    for (std::size_t i = 0; i < summary.size(); ++i) {
        w.Key(StatusName(static_cast<DeviceStatus>(i)))
            .Number(static_cast<std::int64_t>(summary[i]));
    }
    w.EndObject();
    if (!r.file.empty()) {
        w.Key("file").String(r.file);
    }
    if (!r.report.interrupted.empty()) {
        w.Key("interrupted").String(r.report.interrupted);
    }
    return w.EndObject().Text() + "\n";
}

}  // namespace

std::string EscapeForTerminal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = Decode(text, i, &c);
        if (length == 0) {
            out += Hex2(static_cast<unsigned char>(text[i]), "\\x%02X");
            ++i;
            continue;
        }
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += Hex2(static_cast<unsigned>(c), "\\x%02X");
        } else if ((c >= 0x80 && c <= 0x9F) || Invisible(c)) {
            out += Hex2(static_cast<unsigned>(c), "\\u%04X");
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string RenderProjectRun(const ProjectRunResult& r, bool json) {
    if (json) {
        return Json(r);
    }
    std::string text;
    if (!r.report.devices.empty()) {
        text = "MODEL   ADDRESS  STATUS      IDENTITY     LABEL\n";
    }
    for (const DeviceReport& d : r.report.devices) {
        char head[64];
        std::snprintf(head, sizeof head, "%-6s  %7u  %-10s  ", ModelName(d.model),
                      static_cast<unsigned>(d.address), StatusName(d.status));
        std::string line = head;
        const std::string ids = Identities(d);
        line += ids;
        if (!d.label.empty()) {
            line += std::string(ids.size() < 11 ? 11 - ids.size() : 0, ' ') + "  " +
                    EscapeForTerminal(d.label);
        }
        text += line + "\n";
        for (const FieldDifference& f : d.differences) {
            text += "                 " + f.field + ": planned " + ShowValue(f.planned) +
                    ", found " + ShowValue(f.found) + "\n";
        }
        if (!d.note.empty()) {
            text += "                 (" + EscapeForTerminal(d.note) + ")\n";
        }
    }
    const auto s = r.report.Summary();
    text += std::string(KindWord(r.kind)) + ": ";
    for (std::size_t i = 0; i < s.size(); ++i) {
        text += std::string(i ? ", " : "") + StatusName(static_cast<DeviceStatus>(i)) + " " +
                std::to_string(s[i]);
    }
    text += "\n";
    if (!r.file.empty()) {
        text += "written: " + EscapeForTerminal(r.file) + "\n";
    }
    return text;
}

std::string RenderIdentify(const IdentifyResult& r, bool json) {
    if (json) {
        JsonWriter w;
        w.BeginObject().Key("address").Number(r.address);
        w.Key("flashed").Bool(r.flashed).Key("switched_off").Bool(r.switchedOff);
        w.Key("milliseconds").Number(std::llround(r.flashedSeconds * 1000));
        w.Key("stopped").Bool(r.stopped);
        return w.EndObject().Text() + "\n";
    }
    if (!r.flashed) {
        return {};
    }
    char text[128];
    std::snprintf(text, sizeof text, "TARVO %u: LED1 flashed for %.1f s%s, %s\n",
                  static_cast<unsigned>(r.address), r.flashedSeconds, r.stopped ? " (stopped)" : "",
                  r.switchedOff ? "now off" : "NOT switched off");
    return text;
}
