#include "pages/line_settings_combos.h"

#include <QComboBox>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "bus/line_settings.h"
#include "platform/qt_dialog.h"

void FillLineSettingsCombos(QComboBox* baud, QComboBox* dataBits, QComboBox* stopBits,
                            QComboBox* parity, LineSettingsData data) {
    const bool engine = data == LineSettingsData::EngineValues;
    for (std::size_t i = 0; i < kDataBits.size(); ++i) {
        AddComboString(dataBits, QString::number(kDataBits[i]),
                       engine ? unsigned{kDataBits[i]} : static_cast<unsigned>(i));
    }
    for (std::size_t i = 0; i < kStopBitsTexts.size(); ++i) {
        AddComboString(stopBits, QString::fromUtf8(kStopBitsTexts[i]), static_cast<unsigned>(i));
    }
    for (std::size_t i = 0; i < kParityTexts.size(); ++i) {
        const unsigned letter = static_cast<unsigned char>(kParityLetters[i]);
        AddComboString(parity, QString::fromUtf8(kParityTexts[i]),
                       engine ? letter : static_cast<unsigned>(i));
    }
    for (const std::uint32_t rate : kBaudRates) {
        AddComboString(baud, QString::number(rate), rate);
    }
    dataBits->setCurrentIndex(0);
    stopBits->setCurrentIndex(0);
    parity->setCurrentIndex(0);
    baud->setCurrentIndex(kDefaultBaudIndex);
}
