// CRavlinDlg: the bus side of the main dialog. What the session shows of received frames
// (status list, device list) and hands to the pages; and the handlers of the bus buttons and
// the device list: search, automatic assignment, address write, configuration read, selection,
// and the key-configuration write of button 1, each handed to the session.

#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/ravlin_dlg.h"
#include "bus/device_models.h"
#include "bus/frame.h"
#include "platform/message_box.h"
#include "platform/qt_tab_control.h"

void CRavlinDlg::AddStatusLine(const char* utf8) {
    if (m_handlingRx) {
        // Shown at the end of the run, with the rest of the run's lines in one insertion.
        m_pendingStatusLines << QString::fromUtf8(utf8);
        RequestCatchUp();
        return;
    }
    AppendStatusLines({QString::fromUtf8(utf8)});
}

void CRavlinDlg::AppendStatusLines(QStringList lines) {
    if (lines.size() > kMaxListLines) {
        lines.erase(lines.begin(), lines.end() - kMaxListLines);
    }
    // The oldest lines go first, all in one removal.
    const int overflow = m_statusList->count() + static_cast<int>(lines.size()) - kMaxListLines;
    if (overflow > 0) {
        m_statusList->model()->removeRows(0, std::min(overflow, m_statusList->count()));
    }
    m_statusList->insertItems(m_statusList->count(), lines);
}

void CRavlinDlg::FlushPendingLines() {
    if (!m_pendingStatusLines.isEmpty()) {
        AppendStatusLines(std::exchange(m_pendingStatusLines, {}));
    }
    if (!m_pendingDevices.empty()) {
        AppendDeviceLines(std::exchange(m_pendingDevices, {}));
    }
}

void CRavlinDlg::ScrollStatusToLastLine() {
    if (!m_handlingRx) {
        ScrollStatusNow();
        return;
    }
    m_scrollPending = true;
    RequestCatchUp();
}

void CRavlinDlg::RequestCatchUp() {
    // The end of the run stops the timer; it only fires for bytes handed over outside a run.
    if (!m_catchUpTimer.isActive()) {
        m_catchUpTimer.start();
    }
}

void CRavlinDlg::ScrollStatusNow() {
    m_scrollPending = false;
    // The last line becomes the top visible line, as far as the list can scroll.
    if (const int last = m_statusList->count() - 1; last >= 0) {
        m_statusList->scrollTo(m_statusList->model()->index(last, 0),
                               QAbstractItemView::PositionAtTop);
    }
}

void CRavlinDlg::CatchUpReceivedView() {
    m_catchUpTimer.stop();
    m_recorder.BytesHandled();
    FlushPendingLines();
    m_log.FlushIfDue();
    if (m_scrollPending) {
        ScrollStatusNow();
    }
    if (m_pendingConfig) {
        const TarvoConfigBlock block = *m_pendingConfig;
        m_pendingConfig.reset();
        m_tarvoPage.LoadDeviceConfig(block);
    }
}

void CRavlinDlg::AddDeviceToList(std::uint8_t address) {
    if (m_handlingRx) {
        m_pendingDevices.push_back(address);
        RequestCatchUp();
        return;
    }
    AppendDeviceLines({address});
}

void CRavlinDlg::AppendDeviceLines(std::vector<std::uint8_t> addresses) {
    if (addresses.size() > static_cast<std::size_t>(kMaxListLines)) {
        addresses.erase(addresses.begin(), addresses.end() - kMaxListLines);
    }
    const int added = static_cast<int>(addresses.size());
    const int overflow =
        std::min(m_deviceList->count() + added - kMaxListLines, m_deviceList->count());
    if (overflow > 0) {
        // Losing the selected line is a selection change: the pages follow it once the lines
        // are gone.
        const int selected = DeviceListCurSel();
        const bool wasSelected = selected >= 0 && selected < overflow;
        {
            const QSignalBlocker quiet(m_deviceList);
            m_deviceList->model()->removeRows(0, overflow);
            // The list would make the next line current and selected; the gone line leaves
            // no selection behind.
            if (wasSelected) {
                m_deviceList->clearSelection();
            }
        }
        if (wasSelected) {
            RefreshDeviceSelection();
        }
    }
    QStringList texts;
    texts.reserve(added);
    for (const std::uint8_t address : addresses) {
        texts << QString::number(address);
    }
    const int first = m_deviceList->count();
    m_deviceList->insertItems(first, texts);
    // Each line carries its address; the lines were just inserted, so no view needs to hear
    // of it.
    const QSignalBlocker quietModel(m_deviceList->model());
    for (int i = 0; i < added; ++i) {
        m_deviceList->item(first + i)->setData(
            Qt::UserRole, static_cast<unsigned>(addresses[static_cast<std::size_t>(i)]));
    }
}

void CRavlinDlg::SetMirellRecord(const OrvalMirell& record) {
    m_mirellPage.SetDeviceRecord(record);
}

void CRavlinDlg::SetOskanRecord(const OrvalOskan& record) {
    m_oskanPage.SetDeviceRecord(record);
}

void CRavlinDlg::LoadTarvoConfig(const TarvoConfigBlock& block) {
    if (m_runListener) {
        // The parser's buffer still holds the head of the reply that ended here.
        m_runListener->OnRunConfig(m_session.Parser().Buffer()[kPosSource], block);
    }
    if (!m_handlingRx) {
        m_tarvoPage.LoadDeviceConfig(block);
        return;
    }
    // A later reply of the same run replaces this one before the page would show it.
    m_pendingConfig = block;
    RequestCatchUp();
}

void CRavlinDlg::SendSearchFrame() {
    m_session.SendSearch();
}

void CRavlinDlg::ClearDeviceList() {
    m_pendingDevices.clear();
    const QSignalBlocker quiet(m_deviceList);
    m_deviceList->clear();
}

void CRavlinDlg::PauseHandlingBytes(int ms) {
    // The engine's monitor may be waiting for this thread to take the bytes it received; while
    // it waits it writes nothing. So the pause keeps handling them (and repainting), and only
    // the user's input (clicks, keys, the close command) waits until the pause is over.
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CRavlinDlg::OnWriteKeyConfig() {
    m_keyWriter.OnWriteKeyConfig(*this, m_tarvoPage, CurrentTab());
}

void CRavlinDlg::OnSearch() {
    const int tab = CurrentTab();
    if (tab == kTabMirell) {
        m_mirellPage.m_deviceMap.clear();
    } else if (tab == kTabOskan) {
        m_oskanPage.m_deviceMap.clear();
    }
    SendSearchFrame();
    ClearDeviceList();
    m_log.Clear();
}

void CRavlinDlg::OnAutoAssign() {
    m_session.StartAutoAssign(static_cast<std::uint8_t>(m_addressCombo->currentData().toUInt()));
}

void CRavlinDlg::OnWriteAddress() {
    const std::optional<std::uint8_t> selected = SelectedDeviceAddress();
    if (!selected) {
        ShowMessageBox("请选择一个设备!", kAppName, MB_OK);
        return;
    }
    const std::uint8_t device = *selected;
    const auto newAddress = static_cast<std::uint8_t>(m_addressCombo->currentData().toUInt());
    // The device names itself by the state bytes of its search reply; a device that has no
    // record here gets no frame.
    m_session.SendAddressWrite(
        device, newAddress,
        CurrentTab() == kTabMirell ? m_mirellPage.GetDeviceState(device) : nullptr);
    PauseHandlingBytes(kAddressWritePauseMs);
    ClearDeviceList();
    SendSearchFrame();
}

void CRavlinDlg::OnReadDeviceConfig() {
    // A commissioning run is the one sender while it goes on.
    if (ProjectRunActive()) {
        return;
    }
    if (const std::optional<std::uint8_t> device = SelectedDeviceAddress()) {
        m_session.SendReadConfig(*device);
    }
}

void CRavlinDlg::OnDeviceListKillFocus() {
    const int sel = DeviceListCurSel();
    if (sel >= 0) {
        const QSignalBlocker quiet(m_deviceList);
        m_deviceList->setCurrentRow(sel);
    }
}

void CRavlinDlg::RefreshDeviceSelection() {
    const int sel = DeviceListCurSel();
    m_session.SelectionChanged(sel < 0 ? std::nullopt
                                       : std::optional<bool>(DeviceListItemData(sel) != 0));
    ApplyControlStates();
}

bool CRavlinDlg::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_deviceList && e->type() == QEvent::FocusOut) {
        OnDeviceListKillFocus();
    }
    return CDialog::eventFilter(watched, e);
}
