#include "app/bus_recorder.h"

#include <cmath>
#include <utility>
#include <vector>

#include "bus/rx_parser.h"
#include "serial/serial_port.h"

CBusRecorder::CBusRecorder(CSerialPort& port, RxParser& parser, QObject* parent)
    : QObject(parent), m_port(port), m_parser(parser) {
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CBusRecorder::Flush);
    SetRecording(true);
}

CBusRecorder::~CBusRecorder() {
    SetRecording(false);
}

void CBusRecorder::SetRecording(bool on) {
    if (on == m_recording) {
        return;
    }
    m_recording = on;
    if (on) {
        m_tap.SetRecording(true);
        m_port.SetTap(&m_tap);
        m_parser.SetObserver(&m_tracker);
    } else {
        m_parser.SetObserver(nullptr);
        m_port.SetTap(nullptr);
        m_tap.SetRecording(false);
    }
}

void CBusRecorder::PortOpening() {
    Flush();
    m_timer.start();
}

void CBusRecorder::PortClosed() {
    m_timer.stop();
    Flush();
}

void CBusRecorder::Flush() {
    if (const std::optional<TapFailure> failure = m_tap.TakeFailure()) {
        emit PortFailed(failure->errorNumber);
    }
    std::size_t lost = 0;
    std::deque<TapEvent> sent = m_tap.Take(&lost);
    std::vector<RxRecord> received = m_tracker.Take();
    m_lost += lost;
    if (sent.empty() && received.empty()) {
        if (lost) {
            emit Flushed();
        }
        return;
    }

    const auto openedAt = m_tap.OpenedAt();
    const qint64 openedWallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    m_tap.OpenedAtWall().time_since_epoch())
                                    .count();
    const auto stamp = [&](MonitorRow& row, std::chrono::steady_clock::time_point time) {
        const std::chrono::duration<double, std::milli> since = time - openedAt;
        row.time = time;
        row.msSinceOpen = since.count();
        row.wallMs = openedWallMs + static_cast<qint64>(std::floor(since.count()));
    };

    // Both lists are in time order: merge them so the rows are too.
    std::vector<MonitorRow> rows;
    rows.reserve(sent.size() + received.size());
    auto s = sent.begin();
    auto r = received.begin();
    while (s != sent.end() || r != received.end()) {
        MonitorRow row;
        if (r == received.end() || (s != sent.end() && s->time <= r->time)) {
            switch (s->kind) {
                case TapEvent::Kind::Written:
                    row.kind = MonitorRow::Kind::Sent;
                    break;
                case TapEvent::Kind::Replaced:
                    row.kind = MonitorRow::Kind::Replaced;
                    break;
                case TapEvent::Kind::Purged:
                    row.kind = MonitorRow::Kind::Purged;
                    row.unread = s->unread;
                    break;
            }
            row.bytes = std::move(s->bytes);
            stamp(row, s->time);
            ++s;
        } else {
            row.kind = r->kind == RxRecord::Kind::Frame ? MonitorRow::Kind::Received
                                                        : MonitorRow::Kind::Dropped;
            row.bytes = std::move(r->bytes);
            row.reason = std::move(r->reason);
            row.brokenFrom = std::move(r->brokenFrom);
            stamp(row, r->time);
            ++r;
        }
        m_devices.Note(row);
        rows.push_back(std::move(row));
    }
    m_frames.Append(std::move(rows));
    emit Flushed();
}

void CBusRecorder::ClearFrames() {
    Flush();
    // A run of dropped bytes still open goes too: everything up to now is cleared.
    m_tracker.Clear();
    m_frames.Clear();
}
