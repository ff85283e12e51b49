#pragma once
// A small writer of one JSON document, for the tool's --json output. Values are appended in
// order; the writer puts the commas and escapes every string, so text that came from a device
// or a file (a port's USB description, an INI value) can never break the document.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    // Containers. Inside an object each value is preceded by Key().
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);

    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // The document so far; complete once every container is closed.
    const std::string& Text() const { return m_text; }

    // `text` as a JSON string literal, quotes included. Control characters, quotes and
    // backslashes are escaped; bytes that are not valid UTF-8 become U+FFFD, so the document is
    // always valid UTF-8.
    static std::string Quote(std::string_view text);

private:
    void BeforeValue();

    std::string m_text;
    // One entry per open container: whether a value was written in it yet.
    std::vector<bool> m_hasValue;
    bool m_afterKey = false;
};
