// CRavlinDlg: the main dialog's side of a commissioning run in the project window. The run is
// the one sender on the bus while it goes on; the dialog shows what it does as it shows the
// installer's own clicks, and gives the controls back as they were when it ends.

#include <QComboBox>
#include <QListWidget>

#include "app/ravlin_dlg.h"
#include "platform/qt_tab_control.h"
#include "res/resource.h"

void CRavlinDlg::BeginProjectRun(IRunListener* listener) {
    m_statesBeforeRun = m_session.Controls();
    m_tabBeforeRun = m_tab->GetCurSel();
    m_tabEnabledBeforeRun = m_tab->isEnabled();
    m_runListener = listener;
    ApplyControlStates();
}

void CRavlinDlg::EndProjectRun() {
    if (!ProjectRunActive()) {
        return;
    }
    m_runListener = nullptr;
    m_tab->setEnabled(m_tabEnabledBeforeRun);
    if (m_tabBeforeRun >= 0 && m_tab->GetCurSel() != m_tabBeforeRun) {
        m_tab->SetCurSel(m_tabBeforeRun);
        OnTabSelChange();
    }
    // The states of before the run, then the selection as it is now: a search of the run
    // emptied the device list, and the power pages follow the selection.
    m_session.RestoreControls(m_statesBeforeRun);
    RefreshDeviceSelection();
}

void CRavlinDlg::HoldSendingControls() {
    for (const int id : {IDOK, IDC_OPEN_CLOSE, IDC_SEARCH, IDC_AUTO_ASSIGN, IDC_WRITE_ADDRESS}) {
        EnableDlgItem(id, false);
    }
    m_tab->setEnabled(false);
    if (m_tarvoPage.IsCreated()) {
        m_tarvoPage.EnableDlgItem(IDC_LED1, false);
        m_tarvoPage.EnableDlgItem(IDC_LED2, false);
    }
    if (m_mirellPage.IsCreated()) {
        m_mirellPage.EnableControls(false);
    }
    if (m_oskanPage.IsCreated()) {
        m_oskanPage.EnableControls(false);
    }
}

void CRavlinDlg::RunUseModel(DeviceModel model) {
    const int tab = ModelInfo(model).tab;
    if (m_tab->GetCurSel() == tab) {
        return;
    }
    m_tab->SetCurSel(tab);
    OnTabSelChange();
}

void CRavlinDlg::RunSearch() {
    OnSearch();
}

void CRavlinDlg::OnFrame(const std::uint8_t* frame) {
    if (m_runListener) {
        m_runListener->OnRunFrame(frame);
    }
}

void CRavlinDlg::OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) {
    if (m_runListener) {
        m_runListener->OnRunAddressHandedOut(request, address);
    }
}

QString CRavlinDlg::PanelPortName() const {
    return m_portCombo ? m_portCombo->currentText() : QString();
}

ProjectLine CRavlinDlg::PanelLine() const {
    ProjectLine line;
    line.baud = m_baudCombo->currentData().toUInt();
    // The lists are in the order of the line-settings tables.
    line.dataBitsIndex = static_cast<unsigned>(std::max(0, m_dataBitsCombo->currentIndex()));
    line.stopBitsIndex = static_cast<unsigned>(std::max(0, m_stopBitsCombo->currentIndex()));
    line.parityIndex = static_cast<unsigned>(std::max(0, m_parityCombo->currentIndex()));
    return line;
}
