#pragma once
// The TARVO key-panel page (tab 0): key definition, the device's serial format and LED tests.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it (a multi-line code edit still takes Enter as a line break).
//
// The page sends only the LED test frames. The main dialog's "写入" sequence (CKeyConfigWriter)
// reads the key definition from it: the text members after UpdateData(true), and the controls
// through the accessors below, on the UI thread.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "bus/tarvo_config.h"
#include "platform/qt_dialog.h"
#include "session/key_config_sequence.h"

class QCheckBox;
class QComboBox;

// LED test steps, one per LED and shared by all devices for the whole process; 0..3.
extern int g_led1Step;
extern int g_led2Step;
// Caption of an LED button after a click: what the next click does, indexed by step.
extern const std::array<const char*, 4> g_ledCaptions;

class CTarvoDlg : public CDialog {
    Q_OBJECT
public:
    CTarvoDlg();

    // Shows a configuration block read back from a device (answer to 0x23). A baud rate that
    // is not listed, or an index beyond its list, leaves that list without a selection.
    void LoadDeviceConfig(const TarvoConfigBlock& block);

    // Dialog data exchange of edits 1007, 1008 (text; line breaks are CRLF in the members) and
    // 1017 (unsigned value). Reading a 1017 that holds no unsigned number prompts the user,
    // keeps the previous m_nLongPressMs and returns false; the code texts are read anyway.
    bool UpdateData(bool saveAndValidate = true);

    // Flag 0: press/release mode; otherwise short/long-press mode. Checks the radio buttons
    // and sets the captions of the two code groups.
    void SetKeyMode(int flag);

    // What the write sequence reads, on the UI thread.
    bool IsShortLongMode() const;  // radio 1009 checked
    bool IsPressHex() const;       // check box 1032
    bool IsReleaseHex() const;     // check box 1033
    // The item data of the entries selected in 1018..1021 (the baud rate itself and the
    // data-bits, stop-bits and parity indices); nothing when a list has none.
    std::optional<DeviceSerialFormat> SelectedSerialFormat() const;
    // Everything "写入" sends, as the page holds it now: the text members and m_nLongPressMs as
    // the last UpdateData(true) read them, the rest from the controls.
    KeyConfigFields Fields() const;
    // Puts `fields` on the page, as a user would type and choose them (a planned configuration
    // loaded from a commissioning project). A serial format the lists lack leaves that list
    // without a selection, as a read-back does.
    void ShowFields(const KeyConfigFields& fields);

    QString m_strPressCodes;           // edit 1007, first code set
    QString m_strReleaseCodes;         // edit 1008, second code set
    std::uint32_t m_nLongPressMs = 0;  // edit 1017, milliseconds

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnPressReleaseMode();
    void OnShortLongMode();
    void OnLed1Test();
    void OnLed2Test();
    void LedTest(int buttonId, std::uint8_t command, int& step);
    void SetCodeCaptions(bool shortLong);

    QCheckBox* m_chkPressHex = nullptr;
    QCheckBox* m_chkReleaseHex = nullptr;
    QComboBox* m_cbBaud = nullptr;
    QComboBox* m_cbDataBits = nullptr;
    QComboBox* m_cbStopBits = nullptr;
    QComboBox* m_cbParity = nullptr;
};
