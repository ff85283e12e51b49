// CRavlinDlg: construction, start-up, the tab control and its pages, the window menu with the
// About box, and shutdown. The port panel and the log are in port_panel.cpp.

#include "app/ravlin_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/project_window.h"
#include "app/single_selection_list.h"
#include "platform/message_box.h"
#include "platform/qt_tab_control.h"
#include "res/dialog_templates.h"
#include "res/resource.h"
#include "res/string_table.h"

CRavlinDlg::CRavlinDlg()
    : CDialog(FindApplicationTemplate(IDD_RAVLIN_DIALOG)),
      m_hIcon(QApplication::windowIcon()),
      m_owner([this](std::uint32_t message, WPARAM wParam, LPARAM lParam) {
          return OnMessage(message, wParam, lParam);
      }) {
    m_owner.SetRunEndHandler([this] { CatchUpReceivedView(); });
    m_catchUpTimer.setSingleShot(true);
    m_catchUpTimer.setInterval(0);
    connect(&m_catchUpTimer, &QTimer::timeout, this, &CRavlinDlg::CatchUpReceivedView);
}

CRavlinDlg::~CRavlinDlg() {
    // A dialog that is destroyed without having ended still closes its port first, so that no
    // monitor thread is left waiting on it.
    DestroyWindow();
    m_owner.Detach();
}

bool CRavlinDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // There is no window menu to extend here: the About entry goes into the dialog's context
    // menu (and F1).
    m_aboutMenuText = QString::fromUtf8(LoadResourceString(IDS_ABOUTBOX));

    setWindowIcon(m_hIcon);

    m_portCombo = Item<QComboBox>(IDC_PORT);
    m_baudCombo = Item<QComboBox>(IDC_BAUD);
    m_dataBitsCombo = Item<QComboBox>(IDC_DATA_BITS);
    m_stopBitsCombo = Item<QComboBox>(IDC_STOP_BITS);
    m_parityCombo = Item<QComboBox>(IDC_PARITY);
    m_addressCombo = Item<QComboBox>(IDC_ADDRESS);
    m_deviceList = Item<QListWidget>(IDC_DEVICE_LIST);
    m_statusList = Item<QListWidget>(IDC_STATUS_LIST);
    // Every line is one line of text in the list's font, so the lists need not measure each line
    // to lay themselves out; and their texts (addresses, Chinese status texts) need no shaping,
    // so each line is laid out at a fraction of the cost and drawn the same.
    for (QListWidget* list : {m_deviceList, m_statusList}) {
        list->setUniformItemSizes(true);
        QFont font = list->font();
        font.setStyleStrategy(QFont::PreferNoShaping);
        list->setFont(font);
    }
    m_logEdit = Item<QPlainTextEdit>(IDC_LOG);
    m_tab = Item<QtTabControl>(IDC_TAB);
    m_log.Attach(m_logEdit);

    // The device list reports the user's selection changes (the list is only ever emptied or
    // appended to by the program, with no selection change of its own) and double clicks.
    connect(m_deviceList, &QListWidget::itemSelectionChanged, this,
            [this] { RefreshDeviceSelection(); });
    connect(m_deviceList, &QListWidget::itemDoubleClicked, this, [this] { OnReadDeviceConfig(); });
    m_deviceList->installEventFilter(this);
    KeepSingleSelection(m_deviceList);
    // Controls that share a text with another are told apart by their descriptions.
    for (const auto& [id, description] :
         {std::pair{IDC_WRITE_ADDRESS, "写入设备地址"}, std::pair{IDOK, "写入按键配置"},
          std::pair{IDC_BAUD, "本机串口"}, std::pair{IDC_DATA_BITS, "本机串口"},
          std::pair{IDC_STOP_BITS, "本机串口"}, std::pair{IDC_PARITY, "本机串口"}}) {
        if (QWidget* w = GetDlgItem(id)) {
            w->setAccessibleDescription(QString::fromUtf8(description));
        }
    }
    connect(m_tab, &QtTabControl::SelChange, this, &CRavlinDlg::OnTabSelChange);
    if (auto* link = Item<QLabel>(IDC_MAKER_LINK)) {
        link->setToolTip(QString::fromUtf8(kMakerUrl));
        link->setProperty("url", QString::fromUtf8(kMakerUrl));
        connect(link, &QLabel::linkActivated, this,
                [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kMakerUrl))); });
    }

    auto* monitorKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
    connect(monitorKey, &QShortcut::activated, this, &CRavlinDlg::OpenBusMonitor);
    auto* projectKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(projectKey, &QShortcut::activated, this, &CRavlinDlg::OpenProjectWindow);

    FillPortPanel();

    const bool portsFound = EnumeratePorts();
    if (portsFound) {
        FillPortList();
    } else {
        ShowMessageBox("没有发现串口!", kAppName, MB_OK | MB_ICONWARNING);
    }
    m_session.StartControls(portsFound);
    ApplyControlStates();
    StartPortWatch();

    m_tab->InsertItem(0, QStringLiteral("TARVO"));
    m_tab->InsertItem(1, QStringLiteral("MIRELL"));
    m_tab->InsertItem(2, QStringLiteral("OSKAN"));
    m_tarvoPage.Create(m_tab);
    m_tarvoPage.setGeometry(m_tab->PageRect());
    m_mirellPage.Create(m_tab);
    m_oskanPage.Create(m_tab);
    m_tarvoPage.setAccessibleName(QStringLiteral("TARVO"));
    m_mirellPage.setAccessibleName(QStringLiteral("MIRELL"));
    m_oskanPage.setAccessibleName(QStringLiteral("OSKAN"));
    m_tab->SetCurSel(0);
    m_session.SetCurrentTab(m_tab->GetCurSel());

    ShowPage(m_tab->GetCurSel());
    RefreshDeviceSelection();
    return true;
}

void CRavlinDlg::ShowPage(int index) {
    const QRect page = m_tab->PageRect();
    m_tarvoPage.setGeometry(page);
    m_mirellPage.setGeometry(page);
    m_oskanPage.setGeometry(page);
    if (index < 0) {
        return;
    }
    m_tarvoPage.setVisible(index != 1 && index != 2);
    m_mirellPage.setVisible(index == 1);
    m_oskanPage.setVisible(index == 2);
}

void CRavlinDlg::OnTabSelChange() {
    const int tab = m_tab->GetCurSel();
    if (tab >= 0) {
        ShowPage(tab);
    }
    // The outgoing frame takes the tab's type code; the address buttons and "写入" follow.
    m_session.ChangeTab(tab);
    ApplyControlStates();
    ClearDeviceList();
    RefreshDeviceSelection();
}

void CRavlinDlg::ApplyControlStates() {
    const ControlStates& s = m_session.Controls();
    EnableDlgItem(IDC_OPEN_CLOSE, s.openCloseEnabled);
    for (const int id : {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PARITY}) {
        EnableDlgItem(id, s.lineSettingsEnabled);
    }
    EnableDlgItem(IDC_SEARCH, s.searchEnabled);
    EnableDlgItem(IDC_AUTO_ASSIGN, s.autoAssignEnabled);
    ShowDlgItem(IDC_AUTO_ASSIGN, s.autoAssignShown);
    EnableDlgItem(IDC_WRITE_ADDRESS, s.writeAddressEnabled);
    ShowDlgItem(IDC_WRITE_ADDRESS, s.writeAddressShown);
    EnableDlgItem(IDOK, s.writeKeyConfigEnabled);
    // The pages follow once they exist (the port list is read before they are created).
    if (m_tarvoPage.IsCreated()) {
        m_tarvoPage.EnableDlgItem(IDC_LED1, s.tarvoLedsEnabled);
        m_tarvoPage.EnableDlgItem(IDC_LED2, s.tarvoLedsEnabled);
    }
    if (m_mirellPage.IsCreated()) {
        m_mirellPage.EnableControls(s.mirellControlsEnabled);
    }
    if (m_oskanPage.IsCreated()) {
        m_oskanPage.EnableControls(s.oskanControlsEnabled);
    }
    if (ProjectRunActive()) {
        HoldSendingControls();
    }
}

void CRavlinDlg::OnCommand(int id) {
    switch (id) {
        case IDOK:
            OnWriteKeyConfig();
            break;
        case IDCANCEL:
            OnCancel();
            break;
        case IDC_OPEN_CLOSE:
            OnOpenClosePort();
            break;
        case IDC_WRITE_ADDRESS:
            OnWriteAddress();
            break;
        case IDC_SEARCH:
            OnSearch();
            break;
        case IDC_AUTO_ASSIGN:
            OnAutoAssign();
            break;
        case IDC_CLEAR_LOG:
            OnClearLog();
            break;
        default:
            break;
    }
}

void CRavlinDlg::OnCancel() {
    // A commissioning run and a "写入" sequence still running send nothing more.
    if (m_projectWnd) {
        m_projectWnd->AbandonRun();
    }
    m_keyWriter.Stop();
    m_session.CloseForShutdown();
    EndDialog(IDCANCEL);
}

void CRavlinDlg::OnDestroy() {
    CDialog::OnDestroy();
    if (m_projectWnd) {
        m_projectWnd->AbandonRun();
    }
    m_keyWriter.Stop();
    // After OnCancel this is a second close, which finds the port closed.
    m_session.CloseForShutdown();
    for (CDialog* page : {static_cast<CDialog*>(&m_tarvoPage), static_cast<CDialog*>(&m_mirellPage),
                          static_cast<CDialog*>(&m_oskanPage)}) {
        if (page->IsCreated()) {
            page->DestroyWindow();
        }
    }
}

void CRavlinDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(this);
    }
}

void CRavlinDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1 && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        e->accept();
        OnSysCommand(IDM_ABOUTBOX);
        return;
    }
    CDialog::keyPressEvent(e);
}

void CRavlinDlg::contextMenuEvent(QContextMenuEvent* e) {
    if (m_aboutMenuText.isEmpty()) {
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("windowMenu"));
    QAction* monitor = menu.addAction(QStringLiteral("总线监视(&M)..."));
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(monitor, &QAction::triggered, this, &CRavlinDlg::OpenBusMonitor);
    QAction* project = menu.addAction(QStringLiteral("调试项目(&P)..."));
    project->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(project, &QAction::triggered, this, &CRavlinDlg::OpenProjectWindow);
    // About comes last, after a separator, as at the end of a window menu (the menu hides a
    // separator that would open it).
    menu.addSeparator();
    QAction* about = menu.addAction(m_aboutMenuText);
    about->setShortcut(QKeySequence(Qt::Key_F1));
    if (menu.exec(e->globalPos()) == about) {
        OnSysCommand(IDM_ABOUTBOX);
    }
}

void CRavlinDlg::OpenBusMonitor() {
    if (!m_monitorDlg) {
        m_monitorDlg = std::make_unique<CBusMonitorDlg>(m_recorder, this);
    }
    m_monitorDlg->show();
    m_monitorDlg->raise();
    m_monitorDlg->activateWindow();
}

void CRavlinDlg::OpenProjectWindow() {
    if (!m_projectWnd) {
        m_projectWnd = std::make_unique<CProjectWindow>(*this);
    }
    m_projectWnd->show();
    m_projectWnd->raise();
    m_projectWnd->activateWindow();
}

int CRavlinDlg::DeviceListCurSel() const {
    // The selected line, as the native list reports it: a current line that is not selected
    // (the list may make its first line current when it takes the focus) is no selection.
    if (!m_deviceList) {
        return -1;
    }
    const QList<QListWidgetItem*> selected = m_deviceList->selectedItems();
    return selected.isEmpty() ? -1 : m_deviceList->row(selected.front());
}

std::uint32_t CRavlinDlg::DeviceListItemData(int index) const {
    const QListWidgetItem* item = m_deviceList ? m_deviceList->item(index) : nullptr;
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}
