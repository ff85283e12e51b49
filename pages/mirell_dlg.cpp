#include "pages/mirell_dlg.h"

#include "bus/commands.h"
#include "pages/page_host.h"
#include "res/dialog_templates.h"
#include "res/resource.h"

namespace {

// The command of a switch that has just moved: to its upper half ("UP", "ON") when its state
// before the click was 0, else to its lower half.
const MirellCommand& Moved(WPARAM previousState, const MirellCommand& upper,
                           const MirellCommand& lower) {
    return previousState == 0 ? upper : lower;
}

// The rectangle of a template placeholder in the page's coordinates; empty when missing.
QRect PlaceholderRect(const CDialog& page, int id) {
    const QWidget* placeholder = page.GetDlgItem(id);
    if (placeholder == nullptr) {
        return QRect();
    }
    return QRect(placeholder->mapTo(&page, QPoint(0, 0)), placeholder->size());
}

}  // namespace

CMirellDlg::CMirellDlg() : CDialog(FindApplicationTemplate(IDD_MIRELL)) {}

bool CMirellDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    struct Placement {
        CSwitchBtn* sw;
        int placeholder;
        int id;
        const char* firstText;
        const char* secondText;
        const char* name;  // what a screen reader announces: the function it drives
    };
    const Placement placements[] = {
        {&m_swScreen, IDC_SCREEN_PLACE, IDC_SW_SCREEN, "UP", " DOWN ", "SCREEN"},
        {&m_swLifter, IDC_LIFTER_PLACE, IDC_SW_LIFTER, "UP", " DOWN ", "LIFTER"},
        {&m_swProjector, IDC_PROJECTOR_PLACE, IDC_SW_PROJECTOR, "ON", " OFF ", "PROJECTOR"},
        {&m_swSeq, IDC_SEQ_PLACE, IDC_SW_SEQ, "ON", " OFF ", "SEQ.SW"},
    };
    for (const Placement& p : placements) {
        p.sw->m_notifyTarget = this;
        p.sw->m_notifyMessage = static_cast<std::uint32_t>(p.id);
        p.sw->Create(PlaceholderRect(*this, p.placeholder), this, p.id);
        p.sw->m_firstText = QString::fromUtf8(p.firstText);
        p.sw->m_secondText = QString::fromUtf8(p.secondText);
        p.sw->m_state = 0;
        p.sw->m_vertical = 1;
        p.sw->setAccessibleName(QString::fromUtf8(p.name));
    }
    m_swSeq.m_knobColor = QColor(255, 0, 0);
    // Both stop buttons read "STOP"; their descriptions name what they stop.
    for (const auto& [id, description] :
         {std::pair{IDC_SCREEN_STOP, "SCREEN"}, std::pair{IDC_LIFTER_STOP, "LIFTER"}}) {
        if (QWidget* w = GetDlgItem(id)) {
            w->setAccessibleDescription(QString::fromUtf8(description));
        }
    }

    const CPageHost* host = CPageHost::Of(this);
    if (host == nullptr || host->DeviceListCurSel() == -1) {
        EnableControls(false);
    }
    return true;
}

void CMirellDlg::SetDeviceRecord(OrvalMirell record) {
    m_deviceMap[record.addr] = record;
}

const std::array<std::uint8_t, 4>* CMirellDlg::GetDeviceState(int address) const {
    const auto it = m_deviceMap.find(address);
    return it == m_deviceMap.end() ? nullptr : &it->second.state;
}

void CMirellDlg::EnableControls(bool enable) {
    m_swScreen.setEnabled(enable);
    m_swLifter.setEnabled(enable);
    m_swProjector.setEnabled(enable);
    m_swSeq.setEnabled(enable);
    EnableDlgItem(IDC_SCREEN_STOP, enable);
    EnableDlgItem(IDC_LIFTER_STOP, enable);
    EnableDlgItem(IDC_SEQ_ENABLE, enable);
}

void CMirellDlg::OnCommand(int id) {
    switch (id) {
        case IDC_SEQ_ON:
            OnSeqOn();
            break;
        case IDC_SEQ_OFF:
            OnSeqOff();
            break;
        case IDC_SEQ_ENABLE:
            OnSeqSwitchEnable();
            break;
        case IDC_SCREEN_STOP:
            OnScreenStop();
            break;
        case IDC_LIFTER_STOP:
            OnLifterStop();
            break;
        default:
            CDialog::OnCommand(id);
            break;
    }
}

bool CMirellDlg::event(QEvent* e) {
    const int type = static_cast<int>(e->type());
    if (type >= IDC_SW_SCREEN && type <= IDC_SW_SEQ) {
        if (const auto* n = dynamic_cast<const CSwitchNotifyEvent*>(e)) {
            switch (type) {
                case IDC_SW_SCREEN:
                    OnScreenSwitch(n->WParam());
                    break;
                case IDC_SW_LIFTER:
                    OnLifterSwitch(n->WParam());
                    break;
                case IDC_SW_PROJECTOR:
                    OnProjectorSwitch(n->WParam());
                    break;
                default:
                    OnSeqSwitch(n->WParam());
                    break;
            }
            return true;
        }
    }
    return CDialog::event(e);
}

void CMirellDlg::OnSeqOn() {
    SendCommand(mirell::kSeqOn);
}
void CMirellDlg::OnSeqOff() {
    SendCommand(mirell::kSeqOff);
}
void CMirellDlg::OnSeqSwitchEnable() {
    SendCommand(mirell::kSeqEnable);
}
void CMirellDlg::OnScreenStop() {
    SendCommand(mirell::kScreenStop);
}
void CMirellDlg::OnLifterStop() {
    SendCommand(mirell::kLifterStop);
}

void CMirellDlg::OnScreenSwitch(WPARAM previousState) {
    SendCommand(Moved(previousState, mirell::kScreenUp, mirell::kScreenDown));
}

void CMirellDlg::OnLifterSwitch(WPARAM previousState) {
    SendCommand(Moved(previousState, mirell::kLifterUp, mirell::kLifterDown));
}

void CMirellDlg::OnProjectorSwitch(WPARAM previousState) {
    SendCommand(Moved(previousState, mirell::kProjectorOn, mirell::kProjectorOff));
}

void CMirellDlg::OnSeqSwitch(WPARAM previousState) {
    SendCommand(Moved(previousState, mirell::kSeqOn, mirell::kSeqOff));
}

void CMirellDlg::SendCommand(const MirellCommand& command) {
    CPageHost* host = CPageHost::Of(this);
    if (const auto address = SelectedAddressOrTell(host)) {
        host->BuildAndSend([&](TxFrame::Bytes& bytes) {
            return BuildMirellCommandFrame(bytes, *address, command.function, command.value);
        });
    }
}
