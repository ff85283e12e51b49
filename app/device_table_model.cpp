#include "app/device_table_model.h"

#include <QDateTime>
#include <algorithm>

#include "app/frame_table_model.h"
#include "bus/frame.h"
#include "bus/frame_decode.h"

namespace {

QString WallTime(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(Qt::ISODateWithMs);
}

QString Ms(double ms) {
    return QString::number(ms, 'f', 1);
}

bool CarriesState(std::uint8_t command) {
    return command == kCmdFound || command == kCmdAddressRequest || command == kCmdAddressAssign;
}

// Addressed requests that a device answers with a frame of the same command.
bool IsAnsweredRequest(std::uint8_t command) {
    return command == kCmdReadConfig || command == kCmdSerialFormat || command == kCmdKeyMode ||
           command == kCmdFunctionCodes;
}

double MedianOf(const std::deque<double>& values) {
    std::vector<double> v(values.begin(), values.end());
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    if (v.size() % 2 == 1) {
        return *mid;
    }
    return (*mid + *std::max_element(v.begin(), mid)) / 2;
}

}  // namespace

int CDeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_devices.size());
}

int CDeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CDeviceTableModel::Text(const SeenDevice& d, int column) const {
    const bool anyAnswer = !d.delaysMs.empty();
    switch (column) {
        case kType:
            return QString::fromStdString(DeviceTypeName(d.type));
        case kAddress:
            return QString::number(d.address);
        case kState:
            return QString::fromStdString(FormatHex(d.state.data(), d.state.size()));
        case kFirst:
            return WallTime(d.firstWallMs);
        case kLast:
            return WallTime(d.lastWallMs);
        case kFrames:
            return QString::number(d.frames);
        case kRequests:
            return QString::number(d.requests);
        case kAnswered:
            return QString::number(d.answered);
        case kMinDelay:
            return anyAnswer ? Ms(d.minDelayMs) : QString();
        case kMedianDelay:
            return anyAnswer ? Ms(MedianOf(d.delaysMs)) : QString();
        case kMaxDelay:
            return anyAnswer ? Ms(d.maxDelayMs) : QString();
        case kDropped:
            return QString::number(d.droppedFrames);
        case kConfig:
            return d.config;
        default:
            return {};
    }
}

QVariant CDeviceTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() == kConfig)) {
        return Text(m_devices[static_cast<std::size_t>(index.row())], index.column());
    }
    if (role == Qt::TextAlignmentRole && index.column() >= kFrames && index.column() <= kDropped) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant CDeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kHeaders[kColumns] = {
        "类型", "地址",         "状态字节",     "首次",         "最近",   "帧数",    "请求",
        "应答", "最短应答(ms)", "中位应答(ms)", "最长应答(ms)", "丢弃帧", "最近配置"};
    return section >= 0 && section < kColumns ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

int CDeviceTableModel::Find(std::uint8_t type, std::uint8_t address,
                            const std::uint8_t* state) const {
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const SeenDevice& d = m_devices[i];
        if (d.type == type && d.address == address &&
            (state ? d.state.size() == 4 && std::equal(d.state.begin(), d.state.end(), state)
                   : true)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CDeviceTableModel::Latest(std::uint8_t type, std::uint8_t address) const {
    int best = -1;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].type == type && m_devices[i].address == address &&
            (best < 0 || m_lastSeenOrder[i] > m_lastSeenOrder[static_cast<std::size_t>(best)])) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

void CDeviceTableModel::Touch(int index, qint64 wallMs) {
    const auto i = static_cast<std::size_t>(index);
    SeenDevice& d = m_devices[i];
    d.lastWallMs = wallMs;
    ++d.frames;
    m_lastSeenOrder[i] = ++m_touches;
}

void CDeviceTableModel::Changed(int index) {
    emit dataChanged(this->index(index, 0), this->index(index, kColumns - 1));
}

void CDeviceTableModel::Note(const MonitorRow& row) {
    switch (row.kind) {
        case MonitorRow::Kind::Sent:
            NoteSent(row);
            return;
        case MonitorRow::Kind::Received:
            NoteReceived(row);
            return;
        case MonitorRow::Kind::Dropped:
            NoteDropped(row);
            return;
        case MonitorRow::Kind::Replaced:  // never reached the line
        case MonitorRow::Kind::Purged:
            return;
    }
}

void CDeviceTableModel::NoteSent(const MonitorRow& row) {
    const std::size_t size = row.bytes.size();
    if (size < kSearchFrameLength || row.bytes[kPosHead] != kFrameHead) {
        return;
    }
    const std::uint8_t* f = row.bytes.data();
    const std::uint8_t type = f[kPosType];
    if (size == kSearchFrameLength) {
        // FA tt 00 00: every device of the type is asked.
        const Search search{++m_searchNumber, row.time};
        m_searches[type] = search;
        for (std::size_t i = 0; i < m_devices.size(); ++i) {
            if (m_devices[i].type == type) {
                ++m_devices[i].requests;
                m_devices[i].searchCounted = search.number;
                Changed(static_cast<int>(i));
            }
        }
        return;
    }
    const std::uint8_t command = f[kPosCommand];
    if (size < kFrameLength || !IsAnsweredRequest(command)) {
        return;
    }
    const std::uint8_t address = f[kPosDestination];
    Pending pending{row.time, false};
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].type == type && m_devices[i].address == address) {
            ++m_devices[i].requests;
            pending.counted = true;
            Changed(static_cast<int>(i));
        }
    }
    // A newer request of the same kind replaces one still waiting: that one stays unanswered.
    m_pending[{type, address, command}] = pending;
}

void CDeviceTableModel::NoteAnswer(int index, std::chrono::steady_clock::time_point sentAt,
                                   std::chrono::steady_clock::time_point at) {
    SeenDevice& d = m_devices[static_cast<std::size_t>(index)];
    const double ms = std::chrono::duration<double, std::milli>(at - sentAt).count();
    ++d.answered;
    d.minDelayMs = d.delaysMs.empty() ? ms : std::min(d.minDelayMs, ms);
    d.maxDelayMs = d.delaysMs.empty() ? ms : std::max(d.maxDelayMs, ms);
    if (d.delaysMs.size() >= kMaxDelays) {
        d.delaysMs.pop_front();
    }
    d.delaysMs.push_back(ms);
}

void CDeviceTableModel::NoteReceived(const MonitorRow& row) {
    if (row.bytes.size() < kFrameLength) {
        return;
    }
    const std::uint8_t* f = row.bytes.data();
    const std::uint8_t type = f[kPosType];
    const std::uint8_t address = f[kPosSource];
    const std::uint8_t command = f[kPosCommand];
    const bool config = command == kCmdReadConfig && row.bytes.size() >= kLongReplyLength;

    int index = CarriesState(command) ? Find(type, address, f + 6) : Latest(type, address);
    if (index < 0) {
        if (!CarriesState(command) && !config) {
            return;  // other replies count for devices already seen, they add none
        }
        SeenDevice d;
        d.type = type;
        d.address = address;
        if (CarriesState(command)) {
            d.state.assign(f + 6, f + 10);
        }
        d.firstWallMs = row.wallMs;
        index = static_cast<int>(m_devices.size());
        beginInsertRows({}, index, index);
        m_devices.push_back(std::move(d));
        m_lastSeenOrder.push_back(0);
        endInsertRows();
    }
    Touch(index, row.wallMs);
    SeenDevice& d = m_devices[static_cast<std::size_t>(index)];
    if (config) {
        std::string text = DecodeFrame(f, row.bytes.size(), FrameDirection::Received);
        // Without the frame's head ("TARVO 1→0 "): the row says whose it is.
        const auto colon = text.find("配置：");
        d.config = QString::fromStdString(colon == std::string::npos ? text : text.substr(colon));
    }

    const auto inWindow = [&](std::chrono::steady_clock::time_point sentAt) {
        return row.time >= sentAt &&
               row.time - sentAt <= std::chrono::milliseconds(kAnswerWindowMs);
    };
    if (command == kCmdFound) {
        const auto search = m_searches.find(type);
        if (search != m_searches.end() && inWindow(search->second.sentAt) &&
            d.searchAnswered != search->second.number) {
            if (d.searchCounted != search->second.number) {
                ++d.requests;  // first seen in this search's answers
                d.searchCounted = search->second.number;
            }
            d.searchAnswered = search->second.number;
            NoteAnswer(index, search->second.sentAt, row.time);
        }
    } else if (IsAnsweredRequest(command) && (command != kCmdReadConfig || config)) {
        const auto pending = m_pending.find({type, address, command});
        if (pending != m_pending.end() && inWindow(pending->second.sentAt)) {
            if (!pending->second.counted) {
                ++d.requests;
            }
            NoteAnswer(index, pending->second.sentAt, row.time);
            m_pending.erase(pending);
        }
    }
    Changed(index);
}

void CDeviceTableModel::NoteDropped(const MonitorRow& row) {
    for (const RxRecord::BrokenFrom& from : row.brokenFrom) {
        const int index = Latest(from.type, from.source);
        if (index >= 0) {
            ++m_devices[static_cast<std::size_t>(index)].droppedFrames;
            Changed(index);
        }
    }
}

void CDeviceTableModel::Clear() {
    beginResetModel();
    m_devices.clear();
    m_lastSeenOrder.clear();
    m_touches = 0;
    m_pending.clear();
    m_searches.clear();
    endResetModel();
}
