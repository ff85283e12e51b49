#include "pages/tarvo_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextDocument>
#include <tuple>

#include "bus/commands.h"
#include "bus/frame.h"
#include "pages/line_settings_combos.h"
#include "pages/page_host.h"
#include "platform/message_box.h"
#include "res/dialog_templates.h"
#include "res/resource.h"

int g_led1Step = 0;
int g_led2Step = 0;
const std::array<const char*, 4> g_ledCaptions = {"开", "关", "闪", "关"};

namespace {

// The LED state each step sends (on, off, flash, off).
constexpr std::array<std::uint8_t, 4> kLedStepState = {kLedOn, kLedOff, kLedFlash, kLedOff};

// The edit's text with CRLF line breaks, as the code conversion expects them. The raw text is
// used so that characters such as U+00A0 reach the conversion unchanged.
QString EditTextCrLf(const QPlainTextEdit* edit) {
    QString text = edit->document()->toRawText();
    text.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
    return text;
}

void SetEditTextCrLf(QPlainTextEdit* edit, QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edit->setPlainText(text);
}

// Selects entry `index`, or nothing when the list has no such entry.
void SelectIndex(QComboBox* combo, unsigned index) {
    combo->setCurrentIndex(index < static_cast<unsigned>(combo->count()) ? static_cast<int>(index)
                                                                         : -1);
}

// The prefix search of a combo box: the first entry whose text begins with `prefix` (case
// ignored), searching from the entry after `start` and wrapping round; -1 when none does.
int FindStringPrefix(const QComboBox* combo, int start, const QString& prefix) {
    const int count = combo->count();
    for (int k = 1; k <= count; ++k) {
        const int i = (start + k) % count;
        if (combo->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

CTarvoDlg::CTarvoDlg() : CDialog(FindApplicationTemplate(IDD_TARVO)) {}

bool CTarvoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_chkPressHex = Item<QCheckBox>(IDC_PRESS_HEX);
    m_chkReleaseHex = Item<QCheckBox>(IDC_RELEASE_HEX);
    m_cbBaud = Item<QComboBox>(IDC_DEV_BAUD);
    m_cbDataBits = Item<QComboBox>(IDC_DEV_DATA_BITS);
    m_cbStopBits = Item<QComboBox>(IDC_DEV_STOP_BITS);
    m_cbParity = Item<QComboBox>(IDC_DEV_PARITY);

    FillLineSettingsCombos(m_cbBaud, m_cbDataBits, m_cbStopBits, m_cbParity,
                           LineSettingsData::Indices);

    // The two LED buttons show the same texts, and the device's serial-format lists share their
    // names with the local port's; their descriptions tell them apart.
    for (const auto& [id, description] :
         {std::pair{IDC_LED1, "LED1 测试"}, std::pair{IDC_LED2, "LED2 测试"},
          std::pair{IDC_DEV_BAUD, "设备串口配置"}, std::pair{IDC_DEV_DATA_BITS, "设备串口配置"},
          std::pair{IDC_DEV_STOP_BITS, "设备串口配置"},
          std::pair{IDC_DEV_PARITY, "设备串口配置"}}) {
        if (QWidget* w = GetDlgItem(id)) {
            w->setAccessibleDescription(QString::fromUtf8(description));
        }
    }

    SetKeyMode(1);
    m_chkReleaseHex->setChecked(true);
    m_chkPressHex->setChecked(true);

    m_nLongPressMs = 800;
    UpdateData(false);
    return true;
}

void CTarvoDlg::OnCommand(int id) {
    switch (id) {
        case IDC_MODE_PRESS_RELEASE:
            OnPressReleaseMode();
            break;
        case IDC_MODE_SHORT_LONG:
            OnShortLongMode();
            break;
        case IDC_LED1:
            OnLed1Test();
            break;
        case IDC_LED2:
            OnLed2Test();
            break;
        default:
            CDialog::OnCommand(id);
            break;
    }
}

bool CTarvoDlg::UpdateData(bool saveAndValidate) {
    auto* press = Item<QPlainTextEdit>(IDC_PRESS_CODES);
    auto* release = Item<QPlainTextEdit>(IDC_RELEASE_CODES);
    auto* longPress = Item<QLineEdit>(IDC_LONG_PRESS_MS);
    if (!press || !release || !longPress) {
        return false;
    }
    if (!saveAndValidate) {
        SetEditTextCrLf(press, m_strPressCodes);
        SetEditTextCrLf(release, m_strReleaseCodes);
        longPress->setText(QString::number(m_nLongPressMs));
        return true;
    }
    m_strPressCodes = EditTextCrLf(press);
    m_strReleaseCodes = EditTextCrLf(release);
    bool ok = false;
    const uint value = longPress->text().trimmed().toUInt(&ok, 10);
    if (!ok) {
        ShowMessageBox("请输入一个无符号整数。", kAppName, MB_OK | MB_ICONWARNING);
        longPress->setFocus();
        longPress->selectAll();
        return false;
    }
    m_nLongPressMs = value;
    return true;
}

void CTarvoDlg::SetCodeCaptions(bool shortLong) {
    // The group boxes' titles. The edits they frame are named after them and the "16进制" boxes
    // are told apart by them, so a screen reader announces the code set under its current name.
    const QString press = shortLong ? QStringLiteral("短按功能码") : QStringLiteral("按下功能码");
    const QString release = shortLong ? QStringLiteral("长按功能码") : QStringLiteral("弹起功能码");
    SetDlgItemText(IDC_PRESS_GROUP, press);
    SetDlgItemText(IDC_RELEASE_GROUP, release);
    for (const auto& [edit, hex, caption] :
         {std::tuple{IDC_PRESS_CODES, IDC_PRESS_HEX, press},
          std::tuple{IDC_RELEASE_CODES, IDC_RELEASE_HEX, release}}) {
        if (QWidget* w = GetDlgItem(edit)) {
            w->setAccessibleName(caption);
        }
        if (QWidget* w = GetDlgItem(hex)) {
            w->setAccessibleDescription(caption);
        }
    }
}

void CTarvoDlg::SetKeyMode(int flag) {
    const bool shortLong = flag != 0;
    // Auto radio buttons of one page: checking one unchecks the other.
    Item<QRadioButton>(shortLong ? IDC_MODE_SHORT_LONG : IDC_MODE_PRESS_RELEASE)->setChecked(true);
    SetCodeCaptions(shortLong);
}

void CTarvoDlg::OnPressReleaseMode() {
    SetCodeCaptions(false);
}

void CTarvoDlg::OnShortLongMode() {
    SetCodeCaptions(true);
}

bool CTarvoDlg::IsShortLongMode() const {
    const auto* radio = Item<QRadioButton>(IDC_MODE_SHORT_LONG);
    return radio && radio->isChecked();
}

bool CTarvoDlg::IsPressHex() const {
    return m_chkPressHex && m_chkPressHex->isChecked();
}

bool CTarvoDlg::IsReleaseHex() const {
    return m_chkReleaseHex && m_chkReleaseHex->isChecked();
}

std::optional<DeviceSerialFormat> CTarvoDlg::SelectedSerialFormat() const {
    if (!m_cbBaud || m_cbBaud->currentIndex() < 0 || m_cbDataBits->currentIndex() < 0 ||
        m_cbStopBits->currentIndex() < 0 || m_cbParity->currentIndex() < 0) {
        return std::nullopt;
    }
    DeviceSerialFormat format;
    format.baud = m_cbBaud->currentData().toUInt();
    format.dataBitsIndex = m_cbDataBits->currentData().toUInt();
    format.stopBitsIndex = m_cbStopBits->currentData().toUInt();
    format.parityIndex = m_cbParity->currentData().toUInt();
    return format;
}

KeyConfigFields CTarvoDlg::Fields() const {
    const auto text = [](const QString& s) {
        return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                              static_cast<std::size_t>(s.size()));
    };
    KeyConfigFields f;
    f.shortLong = IsShortLongMode();
    f.longPressMs = m_nLongPressMs;
    f.pressText = text(m_strPressCodes);
    f.pressHex = IsPressHex();
    f.releaseText = text(m_strReleaseCodes);
    f.releaseHex = IsReleaseHex();
    f.serialFormat = SelectedSerialFormat();
    return f;
}

void CTarvoDlg::ShowFields(const KeyConfigFields& fields) {
    if (!IsCreated()) {
        return;
    }
    const auto byData = [](QComboBox* combo, unsigned value) {
        combo->setCurrentIndex(combo->findData(value));
    };
    if (fields.serialFormat) {
        byData(m_cbBaud, fields.serialFormat->baud);
        byData(m_cbDataBits, fields.serialFormat->dataBitsIndex);
        byData(m_cbStopBits, fields.serialFormat->stopBitsIndex);
        byData(m_cbParity, fields.serialFormat->parityIndex);
    } else {
        for (QComboBox* combo : {m_cbBaud, m_cbDataBits, m_cbStopBits, m_cbParity}) {
            combo->setCurrentIndex(-1);
        }
    }
    SetKeyMode(fields.shortLong ? 1 : 0);
    m_chkPressHex->setChecked(fields.pressHex);
    m_chkReleaseHex->setChecked(fields.releaseHex);
    m_nLongPressMs = fields.longPressMs;
    const auto text = [](const std::u16string& s) {
        return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
    };
    m_strPressCodes = text(fields.pressText);
    m_strReleaseCodes = text(fields.releaseText);
    UpdateData(false);
}

void CTarvoDlg::LoadDeviceConfig(const TarvoConfigBlock& block) {
    if (!IsCreated()) {
        return;
    }
    const TarvoConfig config = DecodeTarvoConfig(block);

    // The combo's own prefix search from entry 0: the second entry is looked at first.
    m_cbBaud->setCurrentIndex(FindStringPrefix(m_cbBaud, 0, QString::number(config.baud)));
    SelectIndex(m_cbDataBits, config.dataBitsIndex);
    SelectIndex(m_cbStopBits, config.stopBitsIndex);
    SelectIndex(m_cbParity, config.parityIndex);

    SetKeyMode(config.keyMode);
    m_nLongPressMs = config.longPressMs;
    m_strPressCodes = QString::fromStdString(FormatCodes(config.pressCodes));
    m_strReleaseCodes = QString::fromStdString(FormatCodes(config.releaseCodes));
    UpdateData(false);
}

void CTarvoDlg::OnLed1Test() {
    LedTest(IDC_LED1, kCmdLed1, g_led1Step);
}

void CTarvoDlg::OnLed2Test() {
    LedTest(IDC_LED2, kCmdLed2, g_led2Step);
}

void CTarvoDlg::LedTest(int buttonId, std::uint8_t command, int& step) {
    CPageHost* host = CPageHost::Of(this);
    if (!host) {
        return;
    }
    const auto address = SelectedAddressOrTell(host);
    if (!address) {
        return;
    }
    const int current = step & 3;
    host->BuildAndSend([&](TxFrame::Bytes& bytes) {
        return BuildLedTestFrame(bytes, command, *address, kLedStepState[current]);
    });
    step = (current + 1) & 3;
    SetDlgItemText(buttonId, QString::fromUtf8(g_ledCaptions[step]));
}
