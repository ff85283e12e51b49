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

bool CarriesState(std::uint8_t command) {
    return command == kCmdFound || command == kCmdAddressRequest || command == kCmdAddressAssign;
}

}  // namespace

int CDeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_devices.size());
}

int CDeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CDeviceTableModel::Text(const SeenDevice& d, int column) const {
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
    return {};
}

QVariant CDeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kHeaders[kColumns] = {"类型", "地址", "状态字节", "首次",
                                                   "最近", "帧数", "最近配置"};
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

void CDeviceTableModel::Note(const MonitorRow& row) {
    if (row.kind != MonitorRow::Kind::Received || row.bytes.size() < kFrameLength) {
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
    if (config) {
        std::string text = DecodeFrame(f, row.bytes.size(), FrameDirection::Received);
        // Without the frame's head ("TARVO 1→0 "): the row says whose it is.
        const auto colon = text.find("配置：");
        m_devices[static_cast<std::size_t>(index)].config =
            QString::fromStdString(colon == std::string::npos ? text : text.substr(colon));
    }
    emit dataChanged(this->index(index, 0), this->index(index, kColumns - 1));
}

void CDeviceTableModel::Clear() {
    beginResetModel();
    m_devices.clear();
    m_lastSeenOrder.clear();
    m_touches = 0;
    endResetModel();
}
