#include "bus/line_settings.h"

#include <cctype>

namespace {

std::string LowerCase(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

}  // namespace

std::string DataBitsWord(unsigned index) {
    return index < kDataBits.size() ? std::to_string(kDataBits[index]) : std::string();
}

std::string StopBitsWord(unsigned index) {
    return index < kStopBitsTexts.size() ? kStopBitsTexts[index] : std::string();
}

std::string ParityWord(unsigned index) {
    return index < kParityTexts.size() ? LowerCase(kParityTexts[index]) : std::string();
}
