#include "project/config_compare.h"

#include "bus/line_settings.h"
#include "session/key_config_words.h"

namespace {

FieldValue Word(const std::string& word, unsigned index) {
    return FieldValue::Text(word.empty() ? "index " + std::to_string(index) : word);
}

}  // namespace

std::vector<FieldDifference> CompareKeyConfig(const PlannedKeyConfig& p, const TarvoConfig& f) {
    std::vector<FieldDifference> out;
    const auto differ = [&](const char* field, FieldValue planned, FieldValue found) {
        if (!(planned == found)) {
            out.push_back({field, std::move(planned), std::move(found)});
        }
    };
    differ("key_mode", FieldValue::Text(KeyModeWord(p.shortLong)),
           FieldValue::Text(KeyModeWord(f.keyMode != 0)));
    differ("long_press_ms", FieldValue::Number(p.longPressMs), FieldValue::Number(f.longPressMs));
    differ("press_codes", FieldValue::Text(FormatCodes(p.pressCodes)),
           FieldValue::Text(FormatCodes(f.pressCodes)));
    differ("release_codes", FieldValue::Text(FormatCodes(p.releaseCodes)),
           FieldValue::Text(FormatCodes(f.releaseCodes)));
    differ("baud", FieldValue::Number(p.serial.baud), FieldValue::Number(f.baud));
    differ("data_bits", Word(DataBitsWord(p.serial.dataBitsIndex), p.serial.dataBitsIndex),
           Word(DataBitsWord(f.dataBitsIndex), f.dataBitsIndex));
    differ("stop_bits", Word(StopBitsWord(p.serial.stopBitsIndex), p.serial.stopBitsIndex),
           Word(StopBitsWord(f.stopBitsIndex), f.stopBitsIndex));
    differ("parity", Word(ParityWord(p.serial.parityIndex), p.serial.parityIndex),
           Word(ParityWord(f.parityIndex), f.parityIndex));
    return out;
}
