#include "pages/oskan_dlg.h"

#include <QCheckBox>

#include "bus/commands.h"
#include "pages/page_host.h"
#include "platform/message_box.h"
#include "res/resource.h"

namespace {

constexpr char kBoxCaption[] = "Ravlin";

// The host, with the selected device's bus address in *address; nullptr, after telling the
// user, when the host's device list has no selection.
CPageHost* HostWithSelection(const QWidget* page, std::uint8_t* address) {
    CPageHost* host = CPageHost::Of(page);
    const int selection = host != nullptr ? host->DeviceListCurSel() : -1;
    if (selection < 0) {
        ShowMessageBox("请选择一个设备!", kBoxCaption, MB_OK);
        return nullptr;
    }
    *address = static_cast<std::uint8_t>(host->DeviceListItemData(selection) & 0xFF);
    return host;
}

}  // namespace

COskanDlg::COskanDlg() : CDialog(IDD_OSKAN) {}

bool COskanDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The row starts at the placeholder's right edge; every switch has the placeholder's size.
    QRect place;
    if (const QWidget* placeholder = GetDlgItem(IDC_CHANNEL_PLACE)) {
        place = QRect(placeholder->mapTo(this, QPoint(0, 0)), placeholder->size());
    }
    const int width = place.width();
    const int right = place.x() + width;  // exclusive right edge
    for (int i = 0; i < kOskanChannelCount; ++i) {
        CSwitchBtn& sw = m_swChannel[static_cast<std::size_t>(i)];
        const int id = IDC_SW_CH1 + i;
        sw.m_notifyTarget = this;
        sw.m_notifyMessage = static_cast<std::uint32_t>(id);
        const int left = right + i * (width + kOskanSwitchSpacing);
        sw.Create(QRect(left, place.y(), width, place.height()), this, id);
        sw.m_firstText = QStringLiteral("ON");
        sw.m_secondText = QStringLiteral("OFF");
        sw.m_state = 0;
        sw.m_vertical = 1;
        sw.m_idleTextColor = QColor(0, 0, 255);
        sw.m_activeTextColor = QColor(255, 0, 0);
        sw.m_knobColor = QColor(0, 255, 0);
        sw.setAccessibleName(QStringLiteral("通道%1").arg(i + 1));
    }

    const CPageHost* host = CPageHost::Of(this);
    if (host == nullptr || host->DeviceListCurSel() == -1) {
        EnableControls(false);
    }
    return true;
}

void COskanDlg::SetDeviceRecord(OrvalOskan record) {
    m_deviceMap[record.addr] = record;
}

void COskanDlg::EnableControls(bool enable) {
    for (CSwitchBtn& sw : m_swChannel) {
        sw.setEnabled(enable);
    }
    EnableDlgItem(IDC_FEEDBACK, enable);
}

void COskanDlg::OnCommand(int id) {
    if (id == IDC_FEEDBACK) {
        OnFeedbackCheck();
        return;
    }
    CDialog::OnCommand(id);
}

bool COskanDlg::event(QEvent* e) {
    const int channel = static_cast<int>(e->type()) - IDC_SW_CH1;
    if (channel >= 0 && channel < kOskanChannelCount) {
        if (const auto* n = dynamic_cast<const CSwitchNotifyEvent*>(e)) {
            SendChannelCommand(channel, n->WParam());
            return true;
        }
    }
    return CDialog::event(e);
}

void COskanDlg::SendChannelCommand(int channelIndex, WPARAM previousState) {
    if (channelIndex < 0 || channelIndex >= kOskanChannelCount) {
        return;
    }
    std::uint8_t address = 0;
    CPageHost* host = HostWithSelection(this, &address);
    if (host == nullptr) {
        return;
    }
    host->TxFrameBytes().WithLock([&](TxFrame::Bytes& bytes) {
        host->SendTxFrame(BuildOskanChannelFrame(
            bytes, address, static_cast<unsigned>(channelIndex), previousState == 0));
    });
}

void COskanDlg::OnFeedbackCheck() {
    std::uint8_t address = 0;
    CPageHost* host = HostWithSelection(this, &address);
    if (host == nullptr) {
        return;
    }
    const auto* box = Item<QCheckBox>(IDC_FEEDBACK);
    const bool on = box != nullptr && box->checkState() == Qt::Checked;
    host->TxFrameBytes().WithLock([&](TxFrame::Bytes& bytes) {
        host->SendTxFrame(BuildOskanFeedbackFrame(bytes, address, on));
    });
}
