#include "project/project_file.h"

#include <toml++/toml.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>

#include "bus/function_codes.h"
#include "bus/line_settings.h"
#include "project/toml_unicode_guard.h"
#include "session/key_config_words.h"
#include "session/shown_text.h"

namespace {

// A refusal on its way out: thrown inside the reader, caught once in ParseProject.
struct Refused {
    ProjectFileError error;
};

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

[[noreturn]] void Refuse(int line, std::string key, std::string message) {
    throw Refused{{line, std::move(key), std::move(message)}};
}

const char* TypeWord(const toml::node& node) {
    switch (node.type()) {
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a number with a fraction";
        case toml::node_type::boolean:
            return "true or false";
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        default:
            return "a date or time";
    }
}

// One table of the file, with its dotted name for messages: the keys it may hold, read once.
class Table {
public:
    Table(const toml::table& table, std::string name, std::set<std::string> known)
        : m_table(table), m_name(std::move(name)) {
        for (const auto& [key, node] : table) {
            const std::string k = Unguard(key.str());
            if (!known.count(k)) {
                std::string list;
                for (const std::string& name : known) {
                    list += (list.empty() ? "" : ", ") + name;
                }
                Refuse(static_cast<int>(key.source().begin.line), Key(k),
                       "unknown key; " + (m_name.empty() ? std::string("the file") : m_name) +
                           " holds " + list);
            }
        }
    }

    std::string Key(const std::string& key) const {
        return m_name.empty() ? key : m_name + "." + key;
    }
    int Line() const { return LineOf(m_table); }
    const toml::node* Get(const std::string& key) const { return m_table.get(key); }

    [[noreturn]] void Wrong(const std::string& key, const toml::node& node,
                            const char* expected) const {
        Refuse(LineOf(node), Key(key),
               std::string("is ") + TypeWord(node) + "; it must be " + expected);
    }
    void Check(const std::string& key, const toml::node& node, const Refusal& why) const {
        if (why) {
            Refuse(LineOf(node), Key(key), *why);
        }
    }

    std::optional<std::string> String(const std::string& key) const {
        const toml::node* node = Get(key);
        if (!node) {
            return std::nullopt;
        }
        if (!node->is_string()) {
            Wrong(key, *node, "a string in quotes");
        }
        return Unguard(node->as_string()->get());
    }
    std::optional<std::int64_t> Integer(const std::string& key, const char* example) const {
        const toml::node* node = Get(key);
        if (!node) {
            return std::nullopt;
        }
        if (!node->is_integer()) {
            Wrong(key, *node, example);
        }
        return node->as_integer()->get();
    }
    std::optional<bool> Bool(const std::string& key) const {
        const toml::node* node = Get(key);
        if (!node) {
            return std::nullopt;
        }
        if (!node->is_boolean()) {
            Wrong(key, *node, "true or false");
        }
        return node->as_boolean()->get();
    }
    // A sub-table; nothing when absent.
    const toml::table* Sub(const std::string& key) const {
        const toml::node* node = Get(key);
        if (!node) {
            return nullptr;
        }
        if (!node->is_table()) {
            Wrong(key, *node, "a table such as [" + Key(key) + "]");
        }
        return node->as_table();
    }
    [[noreturn]] void Missing(const std::string& key) const { Refuse(Line(), Key(key), "missing"); }
    [[noreturn]] void Wrong(const std::string& key, const toml::node& node,
                            const std::string& expected) const {
        Wrong(key, node, expected.c_str());
    }

private:
    const toml::table& m_table;
    std::string m_name;
};

// data_bits: 8, 7, 6 or 5 (also as text).
unsigned TakeDataBitsValue(const Table& t, const std::string& key) {
    const toml::node* node = t.Get(key);
    unsigned index = 0;
    std::string word;
    if (node->is_integer()) {
        word = std::to_string(node->as_integer()->get());
    } else if (node->is_string()) {
        word = Unguard(node->as_string()->get());
    } else {
        t.Wrong(key, *node, "8, 7, 6 or 5");
    }
    t.Check(key, *node, TakeDataBits(word, &index));
    return index;
}

// stop_bits: 1, 1.5 or 2 (also as text).
unsigned TakeStopBitsValue(const Table& t, const std::string& key) {
    const toml::node* node = t.Get(key);
    std::string word;
    if (node->is_integer()) {
        word = std::to_string(node->as_integer()->get());
    } else if (node->is_floating_point()) {
        const double v = node->as_floating_point()->get();
        word = v == 1.5 ? "1.5" : std::isfinite(v) ? std::to_string(v) : "not a number";
    } else if (node->is_string()) {
        word = Unguard(node->as_string()->get());
    } else {
        t.Wrong(key, *node, "1, 1.5 or 2");
    }
    unsigned index = 0;
    t.Check(key, *node, TakeStopBits(word, &index));
    return index;
}

std::uint32_t TakeBaudValue(const Table& t, const std::string& key) {
    const std::int64_t n = *t.Integer(key, "an integer such as 9600");
    std::uint32_t baud = 0;
    t.Check(key, *t.Get(key), TakeBaud(std::to_string(n), &baud));
    return baud;
}

unsigned TakeParityValue(const Table& t, const std::string& key) {
    unsigned index = 0;
    t.Check(key, *t.Get(key), TakeParity(*t.String(key), &index));
    return index;
}

ProjectLine ReadBus(const toml::table& table) {
    const Table t(table, "bus", {"baud", "data_bits", "stop_bits", "parity"});
    ProjectLine line;
    if (t.Get("baud")) {
        line.baud = TakeBaudValue(t, "baud");
    }
    if (t.Get("data_bits")) {
        line.dataBitsIndex = TakeDataBitsValue(t, "data_bits");
    }
    if (t.Get("stop_bits")) {
        line.stopBitsIndex = TakeStopBitsValue(t, "stop_bits");
    }
    if (t.Get("parity")) {
        line.parityIndex = TakeParityValue(t, "parity");
    }
    return line;
}

std::optional<DeviceIdentity> ParseIdentity(const std::string& text) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' && i % 3 == 2 && text.size() == 11) {
            continue;  // "54 A0 00 02"
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.size() != 8) {
        return std::nullopt;
    }
    DeviceIdentity id{};
    for (std::size_t i = 0; i < id.size(); ++i) {
        id[i] = static_cast<std::uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    }
    return id;
}

// One code set: [device.press] or [device.release]. The flag is read before the codes, since
// it decides how they are read.
void ReadCodeSet(const Table& device, const char* name, std::string* text, bool* hex,
                 std::vector<std::uint8_t>* codes) {
    *text = "";
    *hex = true;
    codes->clear();
    const toml::table* sub = device.Sub(name);
    if (!sub) {
        return;
    }
    const Table t(*sub, device.Key(name), {"codes", "hex"});
    if (const std::optional<bool> flag = t.Bool("hex")) {
        *hex = *flag;
    }
    if (const std::optional<std::string> written = t.String("codes")) {
        std::u16string text16;
        t.Check("codes", *t.Get("codes"), TakeCodes(*written, *hex, &text16, codes));
        *text = *written;
    }
}

std::optional<PlannedKeyConfig> ReadKeyConfig(const Table& device, DeviceModel model) {
    const char* parts[] = {"key", "press", "release", "serial"};
    const toml::node* first = nullptr;
    const char* firstName = nullptr;
    for (const char* part : parts) {
        if (const toml::node* node = device.Get(part); node && !first) {
            first = node;
            firstName = part;
        }
    }
    if (!first) {
        return std::nullopt;
    }
    if (!ModelInfo(model).readsConfig) {
        Refuse(LineOf(*first), device.Key(firstName),
               std::string("a ") + ModelInfo(model).name + " device has no key configuration");
    }
    PlannedKeyConfig k;
    const toml::table* key = device.Sub("key");
    if (!key) {
        device.Missing("key");
    }
    const Table kt(*key, device.Key("key"), {"mode", "long_press_ms"});
    if (const std::optional<std::string> mode = kt.String("mode")) {
        kt.Check("mode", *kt.Get("mode"), TakeKeyMode(*mode, &k.shortLong));
    } else {
        kt.Missing("mode");
    }
    if (const std::optional<std::int64_t> ms =
            kt.Integer("long_press_ms", "an integer such as 800")) {
        const Refusal why = *ms < 0 ? Refusal(std::to_string(*ms) + " is below 0")
                                    : CheckLongPressMs(static_cast<std::uint64_t>(*ms));
        kt.Check("long_press_ms", *kt.Get("long_press_ms"), why);
        k.longPressMs = static_cast<std::uint32_t>(*ms);
    } else {
        kt.Missing("long_press_ms");
    }
    ReadCodeSet(device, "press", &k.pressText, &k.pressHex, &k.pressCodes);
    ReadCodeSet(device, "release", &k.releaseText, &k.releaseHex, &k.releaseCodes);
    const toml::table* serial = device.Sub("serial");
    if (!serial) {
        device.Missing("serial");
    }
    const Table st(*serial, device.Key("serial"), {"baud", "data_bits", "stop_bits", "parity"});
    for (const char* required : {"baud", "data_bits", "stop_bits", "parity"}) {
        if (!st.Get(required)) {
            st.Missing(required);
        }
    }
    k.serial.baud = TakeBaudValue(st, "baud");
    k.serial.dataBitsIndex = TakeDataBitsValue(st, "data_bits");
    k.serial.stopBitsIndex = TakeStopBitsValue(st, "stop_bits");
    k.serial.parityIndex = TakeParityValue(st, "parity");
    return k;
}

PlannedDevice ReadDevice(const toml::table& table) {
    const Table t(table, "device",
                  {"model", "address", "label", "identity", "key", "press", "release", "serial"});
    PlannedDevice d;
    d.line = t.Line();
    const std::optional<std::string> model = t.String("model");
    if (!model) {
        t.Missing("model");
    }
    const DeviceModelInfo* info = ModelByNameIgnoringCase(*model);
    if (!info) {
        Refuse(LineOf(*t.Get("model")), t.Key("model"),
               Quoted(*model) + " is not " + ModelNameList());
    }
    d.model = info->model;
    const std::optional<std::int64_t> address = t.Integer("address", "an integer 1..255");
    if (!address) {
        t.Missing("address");
    }
    if (*address < 1 || *address > 255) {
        Refuse(LineOf(*t.Get("address")), t.Key("address"),
               std::to_string(*address) + " is no device address (1..255)");
    }
    d.address = static_cast<std::uint8_t>(*address);
    if (const std::optional<std::string> label = t.String("label")) {
        d.label = *label;
    }
    if (const std::optional<std::string> identity = t.String("identity")) {
        d.identity = ParseIdentity(*identity);
        if (!d.identity) {
            Refuse(LineOf(*t.Get("identity")), t.Key("identity"),
                   Quoted(*identity) + " is not four bytes in hex such as \"54 A0 00 02\"");
        }
    }
    d.keyConfig = ReadKeyConfig(t, d.model);
    return d;
}

ProjectPlan ReadPlan(const toml::table& root) {
    const Table top(root, "", {"bus", "device"});
    ProjectPlan plan;
    if (const toml::table* bus = top.Sub("bus")) {
        plan.line = ReadBus(*bus);
    }
    const toml::node* devices = top.Get("device");
    if (!devices) {
        return plan;
    }
    const toml::array* array = devices->as_array();
    if (!array || !array->is_array_of_tables()) {
        Refuse(LineOf(*devices), "device", "must be [[device]] tables");
    }
    for (const toml::node& node : *array) {
        PlannedDevice d = ReadDevice(*node.as_table());
        if (const PlannedDevice* first = plan.Find(d.model, d.address)) {
            Refuse(d.line, "device.address",
                   std::string(ModelInfo(d.model).name) + " " + std::to_string(d.address) +
                       " is planned twice (first on line " + std::to_string(first->line) + ")");
        }
        plan.devices.push_back(std::move(d));
    }
    return plan;
}

// Data bits, stop bits and parity as the file writes them; an index the lists lack as
// "index N", which reading refuses.
toml::table SerialTable(std::uint32_t baud, unsigned data, unsigned stop, unsigned parity) {
    toml::table t;
    t.insert("baud", static_cast<std::int64_t>(baud));
    if (data < kDataBits.size()) {
        t.insert("data_bits", static_cast<std::int64_t>(kDataBits[data]));
    } else {
        t.insert("data_bits", "index " + std::to_string(data));
    }
    if (stop == 1) {
        t.insert("stop_bits", 1.5);
    } else if (stop < kStopBitsTexts.size()) {
        t.insert("stop_bits", static_cast<std::int64_t>(stop == 0 ? 1 : 2));
    } else {
        t.insert("stop_bits", "index " + std::to_string(stop));
    }
    const std::string word = ParityWord(parity);
    t.insert("parity", word.empty() ? "index " + std::to_string(parity) : word);
    return t;
}

}  // namespace

std::optional<ProjectPlan> ParseProject(std::string_view text, ProjectFileError* error) {
    const GuardedToml guarded = GuardForToml(text);
    if (guarded.reservedLine > 0) {
        if (error) {
            *error = {guarded.reservedLine,
                      {},
                      "private-use characters U+F00A1..U+FFEFE cannot be read here"};
        }
        return std::nullopt;
    }
    try {
        const toml::table root = toml::parse(guarded.text, std::string_view());
        return ReadPlan(root);
    } catch (const toml::parse_error& e) {
        if (error) {
            *error = {
                static_cast<int>(e.source().begin.line), {}, Shown(Unguard(e.description()), 200)};
        }
    } catch (const Refused& r) {
        if (error) {
            *error = r.error;
        }
    }
    return std::nullopt;
}

std::string DescribeProjectError(const std::string& fileName, const ProjectFileError& error) {
    std::string text = fileName;
    if (error.line > 0) {
        text += ":" + std::to_string(error.line);
    }
    if (!error.key.empty()) {
        text += ": " + Shown(error.key);  // a quoted TOML key may hold anything
    }
    return text + ": " + error.message;
}

std::string FormatProject(const ProjectPlan& plan, const std::vector<std::string>& comment) {
    toml::table root;
    root.insert("bus", SerialTable(plan.line.baud, plan.line.dataBitsIndex, plan.line.stopBitsIndex,
                                   plan.line.parityIndex));
    toml::array devices;
    for (const PlannedDevice& d : plan.devices) {
        toml::table t;
        t.insert("model", ModelInfo(d.model).name);
        t.insert("address", static_cast<std::int64_t>(d.address));
        t.insert("label", d.label);
        if (d.identity) {
            t.insert("identity", FormatIdentity(*d.identity));
        }
        if (d.keyConfig) {
            const PlannedKeyConfig& k = *d.keyConfig;
            t.insert("key",
                     toml::table{{"mode", KeyModeWord(k.shortLong)},
                                 {"long_press_ms", static_cast<std::int64_t>(k.longPressMs)}});
            t.insert("press", toml::table{{"codes", k.pressText}, {"hex", k.pressHex}});
            t.insert("release", toml::table{{"codes", k.releaseText}, {"hex", k.releaseHex}});
            t.insert("serial", SerialTable(k.serial.baud, k.serial.dataBitsIndex,
                                           k.serial.stopBitsIndex, k.serial.parityIndex));
        }
        devices.push_back(std::move(t));
    }
    if (!devices.empty()) {
        root.insert("device", std::move(devices));
    }
    std::ostringstream out;
    for (std::string line : comment) {
        // A comment ends at its line's end: no control character may end it early, and it is
        // UTF-8 like the rest of the file.
        const bool utf8 = Utf8ToUtf16(line).has_value();
        for (char& c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F || (!utf8 && byte >= 0x80)) {
                c = byte < 0x80 ? ' ' : '?';
            }
        }
        out << (line.empty() ? "#" : "# " + line) << "\n";
    }
    if (!comment.empty()) {
        out << "\n";
    }
    // One form per value, so that a captured file diffs cleanly: double-quoted strings on one
    // line (a label's line break as \n), UTF-8 kept, no indentation.
    out << toml::toml_formatter(root, toml::format_flags::allow_unicode_strings) << "\n";
    return out.str();
}
