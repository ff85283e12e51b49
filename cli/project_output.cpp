#include "cli/project_output.h"

#include <cmath>
#include <cstdio>

#include "cli/json_writer.h"
#include "session/shown_text.h"

namespace {

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
    return v.number ? std::to_string(*v.number) : "\"" + Shown(v.text, kWholeText) + "\"";
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
                    Shown(d.label, kWholeText);
        }
        text += line + "\n";
        for (const FieldDifference& f : d.differences) {
            text += "                 " + f.field + ": planned " + ShowValue(f.planned) +
                    ", found " + ShowValue(f.found) + "\n";
        }
        if (!d.note.empty()) {
            text += "                 (" + Shown(d.note, kWholeText) + ")\n";
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
        text += "written: " + Shown(r.file, kWholeText) + "\n";
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
