// CRavlinDlg: the local serial-port panel (port and line settings, open/close) and the
// received-bytes log.

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "app/ravlin_dlg.h"
#include "pages/line_settings_combos.h"
#include "platform/line_settings.h"
#include "platform/message_box.h"
#include "platform/open_failure_hint.h"
#include "platform/qt_tab_control.h"
#include "platform/system_ports.h"
#include "res/resource.h"

namespace {

template <class T>
T SelectedData(const QComboBox* combo) {
    return static_cast<T>(combo ? combo->currentData().toUInt() : 0);
}

// Ports appear in bursts (an adapter brings its tty and then its links): list once, this long
// after the first event, well inside the second the installer may wait.
constexpr int kPortRefreshDelayMs = 150;

int IndexOfPort(const QComboBox* combo, std::uint32_t number) {
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i).toUInt() == number) {
            return i;
        }
    }
    return -1;
}

// The tooltip and the screen reader's description of a USB adapter's entry: what the adapter
// says it is, so that two of them can be told apart. Nothing for other ports.
void DescribePortItem(QComboBox* combo, int index, const UsbPortDetails& usb) {
    QStringList lines;
    const std::pair<const char*, const std::string*> fields[] = {
        {"制造商", &usb.manufacturer},
        {"产品", &usb.product},
        {"序列号", &usb.serial},
        {"/dev/serial/by-id", &usb.byId},
    };
    for (const auto& [label, value] : fields) {
        if (!value->empty()) {
            lines << QString::fromUtf8(label) + QStringLiteral("：") +
                         QString::fromStdString(*value);
        }
    }
    const QString plain = lines.join(QLatin1Char('\n'));
    // The values come from the device: shown as rich text they could be taken for markup.
    const QString tip = plain.isEmpty() ? QString()
                                        : QStringLiteral("<qt>") +
                                              plain.toHtmlEscaped().replace(
                                                  QLatin1Char('\n'), QStringLiteral("<br>")) +
                                              QStringLiteral("</qt>");
    combo->setItemData(index, tip, Qt::ToolTipRole);
    combo->setItemData(index, plain, Qt::AccessibleDescriptionRole);
}

}  // namespace

PortSources CRavlinDlg::PortListSources() const {
    return SystemPortSources();
}

void CRavlinDlg::StartPortWatch() {
    m_portRefresh = new QTimer(this);
    m_portRefresh->setSingleShot(true);
    m_portRefresh->setInterval(kPortRefreshDelayMs);
    connect(m_portRefresh, &QTimer::timeout, this, [this] { RefreshPortList(); });

    m_portNotifier = std::make_unique<QtPortNotifier>(PortListSources().publishedDir);
    connect(m_portNotifier.get(), &QtPortNotifier::PortsMayHaveChanged, this, [this] {
        if (!m_portRefresh->isActive()) {
            m_portRefresh->start();
        }
    });
    // The list as it stands now, with the details of USB adapters.
    RefreshPortList();
}

void CRavlinDlg::RefreshPortList() {
    const bool open = m_session.IsOpen();
    const int selectedIndex = m_portCombo->currentIndex();
    const auto selected = SelectedData<std::uint32_t>(m_portCombo);
    std::vector<SerialPortEntry> ports;
    // The open port is pinned: its entry and number stay until it is closed.
    if (!RelistSerialPorts(PortListSources(), m_port.Ports(), open ? selected : 0, &ports)) {
        return;  // the system can't be read just now: keep what is shown
    }
    m_port.SetPorts(ports);

    for (int i = m_portCombo->count() - 1; i >= 0; --i) {
        const std::uint32_t number = m_portCombo->itemData(i).toUInt();
        const bool listed = std::any_of(ports.begin(), ports.end(),
                                        [number](const auto& p) { return p.number == number; });
        if (!listed) {
            m_portCombo->removeItem(i);
        }
    }
    for (const SerialPortEntry& port : ports) {
        int index = IndexOfPort(m_portCombo, port.number);
        if (index < 0) {
            index = AddComboString(m_portCombo, QString::fromStdString(port.name), port.number);
        }
        DescribePortItem(m_portCombo, index, port.usb);
    }

    // The selection stays on its port; only when that port went (while closed) does the list
    // select its first entry, as at start-up.
    const int stillThere = selectedIndex >= 0 ? IndexOfPort(m_portCombo, selected) : -1;
    m_portCombo->setCurrentIndex(stillThere >= 0 ? stillThere
                                                 : (m_portCombo->count() > 0 ? 0 : -1));
    m_session.PortListChanged(static_cast<std::size_t>(m_portCombo->count()));
    ApplyControlStates();
}

void CRavlinDlg::FillPortPanel() {
    FillLineSettingsCombos(m_baudCombo, m_dataBitsCombo, m_stopBitsCombo, m_parityCombo,
                           LineSettingsData::EngineValues);

    for (unsigned address = 1; address <= 255; ++address) {
        AddComboString(m_addressCombo, QString::number(address), address);
    }
    m_addressCombo->setCurrentIndex(0);
}

void CRavlinDlg::FillPortList() {
    for (const SerialPortEntry& port : m_port.Ports()) {
        AddComboString(m_portCombo, QString::fromStdString(port.name), port.number);
    }
    m_portCombo->setCurrentIndex(0);
}

void CRavlinDlg::OnOpenClosePort() {
    const auto portNumber = SelectedData<unsigned>(m_portCombo);
    // The lists carry what the engine takes (line_settings_combos.h): the rate, the number of
    // data bits, the stop-bits code and the parity letter.
    const LineSettings line = MakeLineSettings(
        SelectedData<std::uint32_t>(m_baudCombo), SelectedData<char>(m_parityCombo),
        SelectedData<std::uint8_t>(m_dataBitsCombo), SelectedData<std::uint8_t>(m_stopBitsCombo));

    if (!m_session.IsOpen()) {
        // The bus monitor's recording starts with the port (whether its window is open or not).
        m_recorder.PortOpening();
        if (m_session.Open(&m_owner, m_port.PortEntry(portNumber), line) ==
            BusSession::OpenResult::Failed) {
            m_recorder.PortClosed();
            // Under the box's own text, a line that says why when the cause is known.
            ShowMessageBox({"串口被占用或不存!", kAppName, MB_OK | MB_ICONWARNING,
                            OpenFailureHint(m_port.PortPath(portNumber), m_port.LastOpenError())});
            return;
        }
        ClearDeviceList();
        SetDlgItemText(IDC_OPEN_CLOSE, QStringLiteral("关闭串口"));
    } else {
        m_session.Close();
        m_recorder.PortClosed();
        SetDlgItemText(IDC_OPEN_CLOSE, QStringLiteral("打开串口"));
    }
    ApplyControlStates();
    if (CurrentTab() == kTabTarvo) {
        m_tarvoPage.update();  // the LED buttons changed: the whole page is drawn again
    }
    if (!m_session.IsOpen()) {
        // A port that went away while it was open leaves the list now that it is closed.
        RefreshPortList();
    }
}

void CRavlinDlg::OnClearLog() {
    m_log.Clear();
}

LRESULT CRavlinDlg::OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SERIAL_RXBYTE:
            return OnSerialRxByte(wParam, lParam);
        default:  // WM_SERIAL_CTS_EVENT and the rest: nothing to do
            return 0;
    }
}

LRESULT CRavlinDlg::OnSerialRxByte(WPARAM wParam, LPARAM /*lParam = port number*/) {
    const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
    AppendLog(byte);
    // The parser assembles frames and hands each complete one to the dispatch: status lines,
    // found devices, answers to address requests, the configuration reply.
    m_handlingRx = true;
    m_session.HandleReceivedByte(byte);
    m_handlingRx = false;
    return 0;
}
