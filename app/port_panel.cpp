// CRavlinDlg: the local serial-port panel (port and line settings, open/close) and the
// received-bytes log.

#include <QComboBox>
#include <QListWidget>

#include "app/ravlin_dlg.h"
#include "platform/message_box.h"
#include "platform/qt_tab_control.h"
#include "res/resource.h"

namespace {

template <class T>
T SelectedData(const QComboBox* combo) {
    return static_cast<T>(combo ? combo->currentData().toUInt() : 0);
}

}  // namespace

void CRavlinDlg::FillPortPanel() {
    FillLineSettingsCombos(m_baudCombo, m_dataBitsCombo, m_stopBitsCombo, m_parityCombo,
                           LineSettingsData::EngineValues);

    for (unsigned address = 1; address <= 255; ++address) {
        AddComboString(m_addressCombo, QString::number(address), address);
    }
    m_addressCombo->setCurrentIndex(0);
}

void CRavlinDlg::FillPortList() {
    for (std::size_t i = 0; i < m_port.m_portNames.size() && i < m_port.m_portNumbers.size(); ++i) {
        AddComboString(m_portCombo, QString::fromStdString(m_port.m_portNames[i]),
                       m_port.m_portNumbers[i]);
    }
    m_portCombo->setCurrentIndex(0);
}

void CRavlinDlg::OnOpenClosePort() {
    const auto portNumber = SelectedData<unsigned>(m_portCombo);
    const auto baud = SelectedData<unsigned>(m_baudCombo);
    const auto dataBits = SelectedData<std::uint8_t>(m_dataBitsCombo);
    const auto stopBits = SelectedData<std::uint8_t>(m_stopBitsCombo);
    const auto parity = SelectedData<char>(m_parityCombo);

    if (g_portClosed) {
        if (!m_port.OpenPort(&m_owner, portNumber, baud, parity, dataBits, stopBits)) {
            ShowMessageBox("串口被占用或不存!", kAppName, MB_OK | MB_ICONWARNING);
            return;
        }
        m_portOpen = m_port.StartMonitor() ? 1 : 0;
        ClearDeviceList();
        SetDlgItemText(IDC_OPEN_CLOSE, QStringLiteral("关闭串口"));
    } else {
        m_port.ClosePort();
        m_portOpen = 0;
        SetDlgItemText(IDC_OPEN_CLOSE, QStringLiteral("打开串口"));
    }
    g_portClosed = g_portClosed ? 0 : 1;
    const bool open = g_portClosed == 0;
    for (const int id : {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PARITY}) {
        EnableDlgItem(id, !open);
    }

    const int tab = m_tab->GetCurSel();
    if (tab == 0) {
        m_tarvoPage.EnableDlgItem(IDC_LED1, open);
        m_tarvoPage.EnableDlgItem(IDC_LED2, open);
        m_tarvoPage.update();
    }
    EnableDlgItem(IDC_AUTO_ASSIGN, open);
    EnableDlgItem(IDC_SEARCH, open);
    EnableDlgItem(IDOK, tab == 0 && open);
    EnableDlgItem(IDC_WRITE_ADDRESS, open);
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
    m_parser.Feed(byte, m_dispatcher);
    m_handlingRx = false;
    return 0;
}
