#pragma once
// The four line-settings combo boxes (baud rate, data bits, stop bits, parity) of the local
// serial-port panel and of the TARVO page's device serial format, filled from the tables of
// bus/line_settings.h.

class QComboBox;

// What the entries carry as item data. Indices: every entry its index in its list.
// EngineValues: what the serial engine takes, i.e. the number of data bits, the parity letter
// and the stop-bits index. Baud-rate entries carry the rate either way.
enum class LineSettingsData { Indices, EngineValues };

// Fills the four combo boxes in list order and selects 9600 8-N-1.
void FillLineSettingsCombos(QComboBox* baud, QComboBox* dataBits, QComboBox* stopBits,
                            QComboBox* parity, LineSettingsData data);
