#include "pages/oskan_dlg.h"

#include <QCheckBox>

#include "bus/commands.h"
#include "pages/page_host.h"
#include "res/dialog_templates.h"
#include "res/resource.h"

COskanDlg::COskanDlg() : CDialog(FindApplicationTemplate(IDD_OSKAN)) {}

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
    CPageHost* host = CPageHost::Of(this);
    if (const auto address = SelectedAddressOrTell(host)) {
        host->BuildAndSend([&](TxFrame::Bytes& bytes) {
            return BuildOskanChannelFrame(bytes, *address, static_cast<unsigned>(channelIndex),
                                          previousState == 0);
        });
    }
}

void COskanDlg::OnFeedbackCheck() {
    CPageHost* host = CPageHost::Of(this);
    const auto address = SelectedAddressOrTell(host);
    if (!address) {
        return;
    }
    const auto* box = Item<QCheckBox>(IDC_FEEDBACK);
    const bool on = box != nullptr && box->checkState() == Qt::Checked;
    host->BuildAndSend(
        [&](TxFrame::Bytes& bytes) { return BuildOskanFeedbackFrame(bytes, *address, on); });
}
