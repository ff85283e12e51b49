#include "app/frame_table_model.h"

#include <QDateTime>
#include <utility>

#include "bus/frame_decode.h"

namespace {

FrameDirection DirectionOf(const MonitorRow& row) {
    return row.IsSent() ? FrameDirection::Sent : FrameDirection::Received;
}

}  // namespace

QString RowDirection(const MonitorRow& row) {
    return row.IsSent() ? QStringLiteral("发送") : QStringLiteral("接收");
}

QString RowTime(const MonitorRow& row) {
    return QString::number(row.msSinceOpen, 'f', 3);
}

QString RowIsoTime(const MonitorRow& row) {
    return QDateTime::fromMSecsSinceEpoch(row.wallMs).toString(Qt::ISODateWithMs);
}

QString RowHex(const MonitorRow& row) {
    return QString::fromStdString(FormatHex(row.bytes.data(), row.bytes.size()));
}

QString RowDecode(const MonitorRow& row) {
    const std::string frame = DecodeFrame(row.bytes.data(), row.bytes.size(), DirectionOf(row));
    switch (row.kind) {
        case MonitorRow::Kind::Replaced:
            return QStringLiteral("被覆盖，未发送：") + QString::fromStdString(frame);
        case MonitorRow::Kind::Purged:
            return QStringLiteral("清除，未读取 %1 字节").arg(row.unread);
        case MonitorRow::Kind::Dropped:
            return QStringLiteral("丢弃 %1 字节：").arg(row.bytes.size()) +
                   QString::fromStdString(row.reason);
        case MonitorRow::Kind::Sent:
        case MonitorRow::Kind::Received:
            break;
    }
    return QString::fromStdString(frame);
}

int RowAddress(const MonitorRow& row) {
    return row.IsFrame() ? FrameDeviceAddress(row.bytes.data(), row.bytes.size(), DirectionOf(row))
                         : -1;
}

int RowCommand(const MonitorRow& row) {
    return row.IsFrame() ? FrameCommand(row.bytes.data(), row.bytes.size()) : kNoCommand;
}

int CFrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CFrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CFrameTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const MonitorRow& row = Row(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        // The tip shows the full time and repeats the long columns; the direction has none.
        const bool tip = role == Qt::ToolTipRole;
        switch (index.column()) {
            case kTime:
                return tip ? RowIsoTime(row) : RowTime(row);
            case kDirection:
                return tip ? QVariant() : RowDirection(row);
            case kBytes:
                return RowHex(row);
            case kDecode:
                return RowDecode(row);
            default:
                return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == kTime) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant CFrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case kTime:
            return QStringLiteral("时间");
        case kDirection:
            return QStringLiteral("方向");
        case kBytes:
            return QStringLiteral("字节");
        case kDecode:
            return QStringLiteral("说明");
        default:
            return {};
    }
}

void CFrameTableModel::Append(std::vector<MonitorRow> rows) {
    if (rows.empty()) {
        return;
    }
    // Only the newest kMaxRows of this batch can stay.
    if (rows.size() > static_cast<std::size_t>(kMaxRows)) {
        const std::size_t skip = rows.size() - kMaxRows;
        m_nextSerial += skip;
        rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(skip));
    }
    const std::size_t total = m_rows.size() + rows.size();
    if (total > static_cast<std::size_t>(kMaxRows)) {
        const int drop = static_cast<int>(total - kMaxRows);
        beginRemoveRows({}, 0, drop - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + drop);
        endRemoveRows();
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (MonitorRow& row : rows) {
        row.serial = m_nextSerial++;
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
}

void CFrameTableModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CFrameFilterModel::SetDirection(Direction direction) {
    if (m_direction != direction) {
        m_direction = direction;
        Refilter();
    }
}

void CFrameFilterModel::SetAddress(int address) {
    if (m_address != address) {
        m_address = address;
        Refilter();
    }
}

void CFrameFilterModel::SetCommand(int command) {
    if (m_command != command) {
        m_command = command;
        Refilter();
    }
}

void CFrameFilterModel::SetPaused(bool paused) {
    if (paused == m_paused) {
        return;
    }
    m_paused = paused;
    if (const auto* frames = qobject_cast<const CFrameTableModel*>(sourceModel())) {
        m_pausedAt = frames->LastSerial();
    }
    Refilter();
}

void CFrameFilterModel::Refilter() {
    invalidateFilter();
}

bool CFrameFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& /*sourceParent*/) const {
    const auto* frames = qobject_cast<const CFrameTableModel*>(sourceModel());
    if (!frames) {
        return true;
    }
    const MonitorRow& row = frames->Row(sourceRow);
    if (m_paused && row.serial > m_pausedAt) {
        return false;
    }
    if ((m_direction == Direction::Sent && !row.IsSent()) ||
        (m_direction == Direction::Received && row.IsSent())) {
        return false;
    }
    if (m_address != kAny && RowAddress(row) != m_address) {
        return false;
    }
    return m_command == kAny || RowCommand(row) == m_command;
}
