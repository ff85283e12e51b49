#pragma once
// The bus monitor's device table: every device seen this session, from its found-device replies
// (0xFE), address requests (0x21), address confirmations (0x22) and configuration replies
// (0x23). A device is its type, address and four state bytes, so two panels that share an
// address show as two rows. Columns 类型, 地址, 状态字节, 首次, 最近, 帧数, then what an installer
// asks when a device stays silent: 请求 and 应答 (the requests sent to it that the protocol
// answers: search, read configuration, serial format, key mode and function codes; and how many
// were answered), 最短/中位/最长应答 (ms from the end of the request's write to the answer's
// last byte as parsed), 丢弃帧 (its frames the parser dropped), and 最近配置.
//
// An answer belongs to the newest request of its kind to its device, when it comes within
// kAnswerWindowMs of it; a search counts for every device of its type, also for one that
// answers it for the first time.

#include <QAbstractTableModel>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <tuple>
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

    int requests = 0;  // requests sent to it that the protocol answers
    int answered = 0;
    double minDelayMs = 0;
    double maxDelayMs = 0;
    std::deque<double> delaysMs;  // the newest kMaxDelays answer delays, for the median
    int droppedFrames = 0;        // its frames the parser dropped (a command it never takes)

    // The searches counted and answered (their number; 0 for none).
    std::uint64_t searchCounted = 0;
    std::uint64_t searchAnswered = 0;
};

class CDeviceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kType,
        kAddress,
        kState,
        kFirst,
        kLast,
        kFrames,
        kRequests,
        kAnswered,
        kMinDelay,
        kMedianDelay,
        kMaxDelay,
        kDropped,
        kConfig,
        kColumns
    };
    static constexpr int kAnswerWindowMs = 2000;
    static constexpr std::size_t kMaxDelays = 10000;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes note of a row, in time order: received frames, the requests sent, the dropped runs.
    void Note(const MonitorRow& row);
    void Clear();
    const std::vector<SeenDevice>& Devices() const { return m_devices; }
    // The text of a cell as shown (also what the export writes).
    QString Text(const SeenDevice& device, int column) const;

private:
    using Key = std::tuple<std::uint8_t, std::uint8_t, std::uint8_t>;  // type, address, command
    struct Pending {
        std::chrono::steady_clock::time_point sentAt;
        bool counted = false;  // a device of that address was known when it was sent
    };
    struct Search {
        std::uint64_t number = 0;
        std::chrono::steady_clock::time_point sentAt;
    };

    void NoteSent(const MonitorRow& row);
    void NoteReceived(const MonitorRow& row);
    void NoteDropped(const MonitorRow& row);
    void NoteAnswer(int index, std::chrono::steady_clock::time_point sentAt,
                    std::chrono::steady_clock::time_point at);
    int Find(std::uint8_t type, std::uint8_t address, const std::uint8_t* state) const;
    int Latest(std::uint8_t type, std::uint8_t address) const;
    void Touch(int index, qint64 wallMs);
    void Changed(int index);

    std::vector<SeenDevice> m_devices;
    std::vector<int> m_lastSeenOrder;  // per device: when it was last touched (bigger is later)
    int m_touches = 0;
    std::map<Key, Pending> m_pending;           // addressed requests not answered yet
    std::map<std::uint8_t, Search> m_searches;  // the newest search per type
    std::uint64_t m_searchNumber = 0;
};
