#pragma once
// The bus monitor's device table: every device seen since the monitor started, from its found-
// device replies (0xFE), address requests (0x21), address confirmations (0x22) and configuration
// replies (0x23). A device is its type, address and four state bytes, so two panels that share
// an address show as two rows. Columns 类型, 地址, 状态字节, 首次, 最近, 帧数, 最近配置.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <vector>

struct MonitorRow;

struct SeenDevice {
    std::uint8_t type = 0;
    std::uint8_t address = 0;
    std::vector<std::uint8_t> state;  // four bytes; empty when only a configuration was seen
    qint64 firstWallMs = 0;
    qint64 lastWallMs = 0;
    int frames = 0;
    QString config;  // the last configuration read back, in words
};

class CDeviceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kType, kAddress, kState, kFirst, kLast, kFrames, kConfig, kColumns };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes note of a received frame; rows of any other kind are ignored.
    void Note(const MonitorRow& row);
    void Clear();
    const std::vector<SeenDevice>& Devices() const { return m_devices; }
    // The text of a cell as shown (also what the export writes).
    QString Text(const SeenDevice& device, int column) const;

private:
    int Find(std::uint8_t type, std::uint8_t address, const std::uint8_t* state) const;
    int Latest(std::uint8_t type, std::uint8_t address) const;
    void Touch(int index, qint64 wallMs);

    std::vector<SeenDevice> m_devices;
    std::vector<int> m_lastSeenOrder;  // per device: when it was last touched (bigger is later)
    int m_touches = 0;
};
