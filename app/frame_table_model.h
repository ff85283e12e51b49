#pragma once
// The bus monitor's frame list: one row per frame in either direction, per run of received
// bytes the parser dropped, per request the engine replaced before writing it, and per purge
// that discarded unread bytes. Columns 时间, 方向, 字节, 说明. The newest kMaxRows rows are kept.
// Decodes are made when a row is shown or exported, not when it arrives.

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "bus/rx_frame_tracker.h"

struct MonitorRow {
    enum class Kind { Sent, Replaced, Purged, Received, Dropped };
    Kind kind = Kind::Sent;
    double msSinceOpen = 0;
    qint64 wallMs = 0;                           // wall-clock time, ms since the epoch (UTC)
    std::chrono::steady_clock::time_point time;  // when it happened
    std::vector<std::uint8_t> bytes;
    std::string reason;                            // Dropped: why, in words
    std::vector<RxRecord::BrokenFrom> brokenFrom;  // Dropped: frames of known senders
    std::size_t unread = 0;                        // Purged: bytes discarded
    std::uint64_t serial = 0;                      // set by the model: 1, 2, … in arrival order

    bool IsSent() const { return kind == Kind::Sent || kind == Kind::Replaced; }
    bool IsFrame() const {
        return kind == Kind::Sent || kind == Kind::Replaced || kind == Kind::Received;
    }
};

// "发送" or "接收".
QString RowDirection(const MonitorRow& row);
// "12.345": ms since the port was opened, three decimals.
QString RowTime(const MonitorRow& row);
// "2026-12-08T01:23:45.678": the wall-clock time in local time, ISO 8601.
QString RowIsoTime(const MonitorRow& row);
QString RowHex(const MonitorRow& row);
// The frame in words; for what the engine lost, what happened to it first.
QString RowDecode(const MonitorRow& row);
// The device the row concerns (destination when sent, source when received), -1 for none.
int RowAddress(const MonitorRow& row);
// The frame's command (see FrameCommand), kNoCommand for rows that are no frame.
int RowCommand(const MonitorRow& row);

class CFrameTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 100000;
    enum Column { kTime, kDirection, kBytes, kDecode, kColumns };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends rows in the order given and drops the oldest beyond kMaxRows.
    void Append(std::vector<MonitorRow> rows);
    void Clear();
    const MonitorRow& Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    const std::deque<MonitorRow>& Rows() const { return m_rows; }
    std::uint64_t LastSerial() const { return m_nextSerial - 1; }

private:
    std::deque<MonitorRow> m_rows;
    std::uint64_t m_nextSerial = 1;
};

// What the frame list shows: rows of one direction, one device address and one command, and,
// while paused, only the rows that had arrived when the pause began.
class CFrameFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class Direction { All, Sent, Received };
    static constexpr int kAny = -2;  // address and command: no filter

    using QSortFilterProxyModel::QSortFilterProxyModel;

    // A setter that changes nothing filters nothing again.
    void SetDirection(Direction direction);
    void SetAddress(int address);
    void SetCommand(int command);
    // Holds the rows shown to those that have arrived so far; false shows every row again.
    void SetPaused(bool paused);
    bool Paused() const { return m_paused; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void Refilter();

    Direction m_direction = Direction::All;
    int m_address = kAny;
    int m_command = kAny;
    bool m_paused = false;
    std::uint64_t m_pausedAt = 0;
};
