#pragma once
// CBusMonitorDlg: the bus monitor "总线监视", a separate non-modal window of the main dialog.
// Tab "帧": every frame in both directions with its time, direction, bytes and decode, the runs
// of bytes the receive parser dropped, and what the engine lost (a request replaced before it
// was written, unread bytes purged before a write); filters by direction, address and command,
// pause, clear. Tab "设备": every device seen. Export (button, Ctrl+S) of the frames as text or
// CSV and of the devices as CSV.
//
// It shows what the flight recorder (app/bus_recorder.h) keeps, which records from the moment
// the port opens whether the window is open or not. While the window is closed its views are
// taken off the recorder's models, so a closed window costs the recording nothing.

#include <QWidget>
#include <cstddef>

#include "app/bus_recorder.h"
#include "app/device_table_model.h"
#include "app/frame_table_model.h"

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
    // `recorder` must outlive the window.
    CBusMonitorDlg(CBusRecorder& recorder, QWidget* parent);
    ~CBusMonitorDlg() override;

    // Moves what the recorder holds into its models now.
    void Flush() { m_recorder.Flush(); }

    CFrameTableModel& Frames() { return m_recorder.Frames(); }
    CFrameFilterModel& Filter() { return m_filter; }
    CDeviceTableModel& Devices() { return m_recorder.Devices(); }
    QTableView* FrameView() const { return m_frameView; }
    QTableView* DeviceView() const { return m_deviceView; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    // Puts the views on the recorder's models (on show) and takes them off (on close).
    void Attach();
    void Detach();
    void OnFlushed();
    void OnExport();
    void OnClear();
    void OnFilterChanged();
    void UpdateStatus();
    QWidget* MakeFramesPage();
    QWidget* MakeDevicesPage();

    CBusRecorder& m_recorder;
    bool m_attached = false;
    // Whether the frame list showed its last row when the rows now arriving came in.
    bool m_followEnd = true;
    QString m_lastExport;
    CFrameFilterModel m_filter;
    QList<QMetaObject::Connection> m_connections;  // to the recorder, while attached

    QTabWidget* m_tabs = nullptr;
    QTableView* m_frameView = nullptr;
    QTableView* m_deviceView = nullptr;
    QComboBox* m_direction = nullptr;
    QSpinBox* m_address = nullptr;
    QComboBox* m_command = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_status = nullptr;
};
