#pragma once
// CRavlinDlg: the main dialog. It shows the bus session (session/bus_session.h: the serial
// engine, the outgoing frame, the parser and its dispatch, the open state, the current device
// type and the enabling of the controls) in the port panel, the address group, the device and
// status lists, the received-bytes log and the tab control with the three device pages, and
// receives the engine's messages. Its handlers read the widgets, hand the action to the session
// and show what the session decides.

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/bus_monitor_dlg.h"
#include "app/bus_recorder.h"
#include "app/hex_log.h"
#include "app/run_listener.h"
#include "bus/rx_parser.h"
#include "bus/tx_frame.h"
#include "pages/key_config_write.h"
#include "pages/mirell_dlg.h"
#include "pages/oskan_dlg.h"
#include "pages/page_host.h"
#include "pages/tarvo_dlg.h"
#include "platform/qt_dialog.h"
#include "platform/qt_message_owner.h"
#include "platform/qt_port_notifier.h"
#include "project/project_plan.h"
#include "serial/port_enumeration.h"
#include "serial/serial_port.h"
#include "session/bus_session.h"

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QtTabControl;
class CProjectWindow;

// The application's name: the caption of its message boxes.
// The maker behind the link control, and where it leads.
inline constexpr char kMakerUrl[] = "https://example.org/quillmere/ravlin";

// Command of the About entry of the window menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Lines the status list and the device list keep at most; past that the oldest line goes, so a
// busy bus can't grow memory without bound.
inline constexpr int kMaxListLines = 10000;

class CRavlinDlg : public CDialog, public CPageHost, public ISessionView {
    Q_OBJECT
public:
    CRavlinDlg();
    ~CRavlinDlg() override;

    // What the pages use.
    int DeviceListCurSel() const override;
    std::uint32_t DeviceListItemData(int index) const override;
    TxFrame& TxFrameBytes() override { return m_session.Frame(); }
    // Hands the first `count` bytes of the outgoing frame to the engine, under the frame's lock.
    void SendTxFrame(unsigned count) override { m_session.SendTxFrame(count); }
    // FA tt 00 00 with the type code of the current tab.
    void SendSearchFrame();

    // The current tab, as the session knows it.
    int CurrentTab() const { return m_session.CurrentTab(); }
    // What the session shows and hands on of the received frames.
    void AddStatusLine(const char* utf8) override;
    void ScrollStatusToLastLine() override;
    void AddDeviceToList(std::uint8_t address) override;
    void SetMirellRecord(const OrvalMirell& record) override;
    void SetOskanRecord(const OrvalOskan& record) override;
    void LoadTarvoConfig(const TarvoConfigBlock& block) override;
    void OnFrame(const std::uint8_t* frame) override;
    void OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) override;

    // Window messages, as the serial engine sends them.
    LRESULT OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSerialRxByte(WPARAM wParam, LPARAM lParam);
    IMessageOwner* MessageOwner() { return &m_owner; }

    // The window menu's commands: IDM_ABOUTBOX runs the About box.
    void OnSysCommand(unsigned id);
    void ShowPage(int index);
    // Shows the bus monitor window (context menu, Ctrl+M), creating it the first time.
    void OpenBusMonitor();
    CBusMonitorDlg* BusMonitor() const { return m_monitorDlg.get(); }
    // Shows the commissioning project window "调试项目" (context menu, Ctrl+P), creating it the
    // first time.
    void OpenProjectWindow();
    CProjectWindow* ProjectWindow() const { return m_projectWnd.get(); }

    // A commissioning run of the project window (project_run_host.cpp). While it goes on, the
    // run is the one sender on the bus: the buttons, pages and tabs that send or change the
    // device type are disabled, and `listener` hears what arrives. At its end they come back
    // as they were, on the tab the run began on.
    void BeginProjectRun(IRunListener* listener);
    void EndProjectRun();
    bool ProjectRunActive() const { return m_runListener != nullptr; }
    // What the run does on the bus, as the installer's clicks do it: the model's tab, and a
    // search as by "搜索设备".
    void RunUseModel(DeviceModel model);
    void RunSearch();
    // The port and line settings chosen in the port panel.
    QString PanelPortName() const;
    ProjectLine PanelLine() const;

    // The bus monitor's flight recorder: records from the moment the port opens.
    CBusRecorder& Recorder() { return m_recorder; }

    // State that the tests look at.
    BusSession& Session() { return m_session; }
    CSerialPort& Port() { return m_port; }
    bool PortOpen() const { return m_session.MonitorStarted(); }
    CHexLog& Log() { return m_log; }
    QtTabControl* TabControl() const { return m_tab; }
    CTarvoDlg& TarvoPage() { return m_tarvoPage; }
    CMirellDlg& MirellPage() { return m_mirellPage; }
    COskanDlg& OskanPage() { return m_oskanPage; }
    const RxParser& Parser() const { return m_session.Parser(); }
    std::uint8_t NextAddress() const { return m_session.NextAddress(); }
    CKeyConfigWriter& KeyConfigWriter() { return m_keyWriter; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnCancel() override;
    void OnDestroy() override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Focus leaving the device list (OnDeviceListKillFocus).
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Lists the serial ports into the engine's lists; true when there is at least one.
    virtual bool EnumeratePorts() { return m_port.EnumeratePorts(); }
    // Where the port list is read from again when ports come and go.
    virtual PortSources PortListSources() const;

    // First, so that the engine outlives every part of the window that sends through it.
    BusSession m_session{*this};
    CSerialPort& m_port = m_session.Port();

private:
    // Port panel.
    void FillPortPanel();
    void FillPortList();
    // Follows ports appearing and going (port_panel.cpp): the watcher wakes the UI thread, which
    // lists the ports again shortly after and updates 1001 without disturbing the selection or
    // the open port.
    void StartPortWatch();
    void RefreshPortList();
    void OnOpenClosePort();
    void AppendLog(std::uint8_t byte) { m_log.Append(byte); }
    void OnClearLog();

    void OnTabSelChange();
    // Shows the session's enabled and shown states on every control that follows them.
    void ApplyControlStates();
    // During a commissioning run: disables what would send beside the run.
    void HoldSendingControls();

    // Bus buttons and the device list (bus_handlers.cpp).
    void OnWriteKeyConfig();
    void OnSearch();
    void OnAutoAssign();
    void OnWriteAddress();
    void OnReadDeviceConfig();
    void OnDeviceListKillFocus();
    void RefreshDeviceSelection();
    // Empties the device list. Like the native list's reset, this is no selection change of
    // the user's: the pages keep their enabled state until the next RefreshDeviceSelection.
    void ClearDeviceList();
    // Waits `ms` while received bytes and timers go on being handled; the user's input waits.
    void PauseHandlingBytes(int ms);
    // Scrolls the status list now (see ScrollStatusToLastLine).
    void ScrollStatusNow();
    // The status and device lines of a run, shown at its end in one insertion per list (and
    // one removal of the oldest lines past kMaxListLines).
    void AppendStatusLines(QStringList lines);
    void AppendDeviceLines(std::vector<std::uint8_t> addresses);
    void FlushPendingLines();
    // Asks for CatchUpReceivedView at the end of the run, or at the next turn of the event loop
    // for bytes handed over outside a run.
    void RequestCatchUp();
    // After a run of received bytes: brings the log up to date when a refresh is due, does the
    // scroll the run asked for, once, and shows the run's last configuration reply on the TARVO
    // page.
    void CatchUpReceivedView();

    QIcon m_hIcon;
    QComboBox* m_portCombo = nullptr;
    // Wakes the UI thread when ports may have come or gone.
    std::unique_ptr<QtPortNotifier> m_portNotifier;
    QTimer* m_portRefresh = nullptr;
    QComboBox* m_baudCombo = nullptr;
    QComboBox* m_dataBitsCombo = nullptr;
    QComboBox* m_stopBitsCombo = nullptr;
    QComboBox* m_parityCombo = nullptr;
    QComboBox* m_addressCombo = nullptr;
    QListWidget* m_deviceList = nullptr;
    QListWidget* m_statusList = nullptr;
    // While received bytes are handled, the status and device lines, scrolling the status list
    // and showing a configuration reply wait for the end of their run (or the next turn of the
    // event loop): one insertion per list, one scroll, and so one layout of each list, per run
    // instead of several per frame, and one filling of the page with the reply that stays.
    // Nothing is painted in between, so nothing shows the wait.
    bool m_handlingRx = false;
    bool m_scrollPending = false;
    QStringList m_pendingStatusLines;
    std::vector<std::uint8_t> m_pendingDevices;
    std::optional<TarvoConfigBlock> m_pendingConfig;
    QTimer m_catchUpTimer;
    QPlainTextEdit* m_logEdit = nullptr;
    CHexLog m_log;  // m_logText and the log's catching up
    QtTabControl* m_tab = nullptr;
    CTarvoDlg m_tarvoPage;
    CMirellDlg m_mirellPage;
    COskanDlg m_oskanPage;
    // The "写入" sequence of the TARVO tab. After the pages, the frame and the engine, so it
    // goes before them; OnCancel and OnDestroy stop it before the port closes.
    CKeyConfigWriter m_keyWriter;
    QString m_aboutMenuText;
    // What the engine reports of its traffic and what the parser made of the received bytes,
    // recorded whether the bus monitor window is open or not; and that window, which shows it.
    CBusRecorder m_recorder{m_port, m_session.Parser()};
    std::unique_ptr<CBusMonitorDlg> m_monitorDlg;
    // The commissioning project window, and the run it drives: who hears the bus, and the
    // controls' states and the tab before the run.
    std::unique_ptr<CProjectWindow> m_projectWnd;
    IRunListener* m_runListener = nullptr;
    ControlStates m_statesBeforeRun;
    int m_tabBeforeRun = -1;
    bool m_tabEnabledBeforeRun = true;
    // Last member, so it goes first: it releases a monitor thread still blocked on it.
    QtMessageOwner m_owner;
};
