#pragma once
// CBusRecorder: the bus monitor's flight recorder. From the moment the port opens it keeps what
// the engine reports of its traffic (its tap) and what the receive parser makes of the received
// bytes (its observer), whether the monitor window is open or not: an installer opens the
// window after something went wrong and must see what did. It also passes on a failure of the
// port that the engine reports, for a commissioning run to end at once. Every kRefreshMs while the
// port is open, what arrived is moved into the frame list (the newest CFrameTableModel::kMaxRows
// rows) and the device table; the window only shows these models.
//
// Lives on the UI thread, beside the session whose engine and parser it watches.

#include <QObject>
#include <QTimer>
#include <cstddef>

#include "app/device_table_model.h"
#include "app/frame_table_model.h"
#include "bus/rx_frame_tracker.h"
#include "serial/tap_recorder.h"

class CSerialPort;
class RxParser;

class CBusRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    // Records what `port` and `parser` report from now on; both must outlive the recorder.
    CBusRecorder(CSerialPort& port, RxParser& parser, QObject* parent = nullptr);
    ~CBusRecorder() override;

    // Recording on (the default) or off: off takes the tap and the parser's observer away, so
    // the receive path costs what it costs without a recorder (benchmarks compare the two).
    void SetRecording(bool on);
    bool Recording() const { return m_recording; }

    // The port is about to open: what is still pending of an earlier opening is moved into the
    // models first (its times count from that opening), and the regular moving starts.
    void PortOpening();
    // The port closed: the rest is moved into the models and the regular moving stops.
    void PortClosed();

    // The received bytes handed over together have been handled: the next ones are stamped with
    // a new reading of the clock.
    void BytesHandled() { m_tracker.TimeMoved(); }

    // Moves what arrived since the last call into the models now; emits Flushed when anything
    // was added or lost.
    void Flush();
    // Empties the frame list ("清除"), with a run of dropped bytes not yet complete; the devices
    // seen this session stay.
    void ClearFrames();

    CFrameTableModel& Frames() { return m_frames; }
    CDeviceTableModel& Devices() { return m_devices; }
    RxFrameTracker& Tracker() { return m_tracker; }
    CTapRecorder& Tap() { return m_tap; }
    // Events of the engine lost to the tap's bound, this session.
    std::size_t Lost() const { return m_lost; }

signals:
    void Flushed();
    // The engine reported a failure of the open port (at the next move, within kRefreshMs).
    void PortFailed(int errorNumber);

private:
    CSerialPort& m_port;
    RxParser& m_parser;
    CTapRecorder m_tap;
    RxFrameTracker m_tracker;
    bool m_recording = false;
    std::size_t m_lost = 0;
    CFrameTableModel m_frames;
    CDeviceTableModel m_devices;
    QTimer m_timer;
};
