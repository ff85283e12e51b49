#pragma once
// CBusMonitorDlg: the bus monitor "总线监视", a separate non-modal window of the main dialog.
// Tab "帧": every frame in both directions with its time, direction, bytes and decode, the runs
// of bytes the receive parser dropped, and what the engine lost (a request replaced before it
// was written, unread bytes purged before a write); filters by direction, address and command,
// pause, clear. Tab "设备": every device seen. Export (button, Ctrl+S) of the frames as text or
// CSV and of the devices as CSV.
//
// It records while it is shown: the engine's tap and the parser's observer are attached on show
// and taken away on hide, so a closed monitor costs the receive path nothing. What arrived is
// moved into the models every kRefreshMs, not byte by byte.

#include <QTimer>
#include <QWidget>
#include <cstddef>

#include "app/device_table_model.h"
#include "app/frame_table_model.h"
#include "bus/rx_frame_tracker.h"
#include "bus/rx_parser.h"
#include "serial/tap_recorder.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;

// Control numbers of the monitor window (property controlId, as on the dialogs).
inline constexpr int IDC_MON_TABS = 2001;
inline constexpr int IDC_MON_FRAMES = 2002;
inline constexpr int IDC_MON_DEVICES = 2003;
inline constexpr int IDC_MON_DIRECTION = 2004;
inline constexpr int IDC_MON_ADDRESS = 2005;
inline constexpr int IDC_MON_COMMAND = 2006;
inline constexpr int IDC_MON_PAUSE = 2007;
inline constexpr int IDC_MON_CLEAR = 2008;
inline constexpr int IDC_MON_EXPORT = 2009;
inline constexpr int IDC_MON_STATUS = 2010;

class CBusMonitorDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    // `tap` is the engine's tap (set on the engine by the owner); `parser` the receive parser.
    // Both must outlive the window.
    CBusMonitorDlg(CTapRecorder& tap, RxParser& parser, QWidget* parent);
    ~CBusMonitorDlg() override;

    // Moves what arrived since the last refresh into the models now.
    void Flush();

    CFrameTableModel& Frames() { return m_frames; }
    CFrameFilterModel& Filter() { return m_filter; }
    CDeviceTableModel& Devices() { return m_devices; }
    QTableView* FrameView() const { return m_frameView; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void Attach();
    void Detach();
    void OnExport();
    void OnClear();
    void OnFilterChanged();
    void UpdateStatus();
    QWidget* MakeFramesPage();
    QWidget* MakeDevicesPage();

    CTapRecorder& m_tap;
    RxParser& m_parser;
    RxFrameTracker m_tracker;
    bool m_attached = false;
    std::size_t m_lost = 0;  // tap events lost to the recorder's bound
    QString m_lastExport;

    CFrameTableModel m_frames;
    CFrameFilterModel m_filter;
    CDeviceTableModel m_devices;
    QTimer m_timer;

    QTabWidget* m_tabs = nullptr;
    QTableView* m_frameView = nullptr;
    QTableView* m_deviceView = nullptr;
    QComboBox* m_direction = nullptr;
    QSpinBox* m_address = nullptr;
    QComboBox* m_command = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_status = nullptr;
};
