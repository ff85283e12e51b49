// The bus monitor on a pseudo-terminal whose other end plays the bus: what the parser dropped,
// a request the engine replaced before writing it, and received bytes the purge before a write
// discarded, each as the engine and the parser report them; and the recording's bound while the
// window is closed. Where the outcome would hang on the machine's speed, the test holds the
// moving parts itself: the recorder's clock, and the engine's delivery to its owner.

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/bus_monitor_dlg.h"
#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "monitor_test_support.h"
#include "platform/pseudo_terminal.h"
#include "res/resource.h"

using namespace gui_test;
using namespace monitor_test;

namespace {

constexpr char kPortName[] = "bus-m";

// Stands between the engine and the dialog's message owner: while closed, it holds the monitor
// thread at its next delivery, before the dialog sees any of it, until it is opened again.
class GatedOwner : public IMessageOwner {
public:
    explicit GatedOwner(IMessageOwner& inner) : m_inner(inner) {}

    void SendMessages(const WindowMessage* messages, std::size_t count) override {
        {
            std::unique_lock lock(m_mutex);
            m_runs += 1;
            if (!m_open) {
                m_held = true;
                m_changed.notify_all();
                m_changed.wait(lock, [&] { return m_open; });
                m_held = false;
            }
        }
        m_inner.SendMessages(messages, count);
    }
    // Closing the port pumps the owner: nothing may stay held then.
    void PumpPendingMessages() override {
        Open();
        m_inner.PumpPendingMessages();
    }

    void Close() {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool Held() {
        std::lock_guard lock(m_mutex);
        return m_held;
    }
    int Runs() {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }

private:
    IMessageOwner& m_inner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    bool m_held = false;
    int m_runs = 0;
};

class MonitorEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pty = std::make_unique<PseudoTerminal>();
        m_dlg = ShowDialogOnBus(*m_pty, kPortName);
        ASSERT_NE(m_dlg, nullptr);
        m_monitor = OpenWithShortcut(*m_dlg);
        ASSERT_NE(m_monitor, nullptr);
        Click(MonitorControl(m_monitor, IDC_MON_CLEAR));
    }
    void TearDown() override { m_dlg.reset(); }

    // Opens the port again with the engine delivering through `gate`, and waits until a frame
    // written to the line comes through it (the monitor purges the line as it starts).
    void ReopenThrough(GatedOwner& gate) {
        CSerialPort& port = m_dlg->Port();
        unsigned number = 0;
        for (const SerialPortEntry& entry : port.Ports()) {
            if (entry.name == kPortName) {
                number = entry.number;
            }
        }
        ASSERT_NE(number, 0u);
        ASSERT_TRUE(port.OpenPort(&gate, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
        ASSERT_TRUE(port.StartMonitor());
        // Until the dialog has handled a frame that came through the gate.
        const auto logged = m_dlg->Log().Text().size();
        for (int attempt = 0; attempt < 50 && m_dlg->Log().Text().size() == logged; ++attempt) {
            m_pty->Write({0xFA, 0x09, 0x00, 0x05, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01});
            WaitFor([&] { return m_dlg->Log().Text().size() >= logged + 30; }, 200);
        }
        ASSERT_GT(gate.Runs(), 0);
        ASSERT_GE(m_dlg->Log().Text().size(), logged + 30);
        Click(MonitorControl(m_monitor, IDC_MON_CLEAR));
    }

    void Feed(const Bytes& bytes) {
        const auto logged = m_dlg->Log().Text().size() / 3 + static_cast<qsizetype>(bytes.size());
        m_pty->Write(bytes);
        ASSERT_TRUE(WaitFor([&] { return m_dlg->Log().Text().size() / 3 >= logged; }));
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<CRavlinDlg> m_dlg;
    CBusMonitorDlg* m_monitor = nullptr;
};

TEST_F(MonitorEngineTest, DroppedBytesFormOneRowPerRunWithTheReasonBesideTheFrames) {
    // The recorder's time stands still while the bytes arrive, however long the machine takes
    // between them: the two writes below are one run of dropped bytes on any machine.
    RxFrameTracker& tracker = m_dlg->Recorder().Tracker();
    auto now = RxFrameTracker::Clock::now();
    tracker.SetClock([&] { return now; });
    // A wrong type breaks the frame that FA began; the bytes after it are no frame head.
    Feed({0xFA, 0x0A, 0x11, 0x22, 0xFA, 0x09, 0x00, 0x05, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01});
    // Destination not the PC, then a command that is never accepted.
    Feed({0xFA, 0x09, 0x07});
    Feed({0xFA, 0x09, 0x00, 0x05, 0xFF});
    EXPECT_EQ(ShownRows(*m_monitor).size(), 2) << "the second run is still open";
    now += RxFrameTracker::kRunQuiet;
    const QStringList rows = ShownRows(*m_monitor);
    tracker.SetClock({});
    ASSERT_EQ(rows.size(), 3) << rows.join('\n').toStdString();
    EXPECT_EQ(rows[0], "接收|FA 0A 11 22|丢弃 4 字节：类型 0x0A 不在 6..9；另 2 字节不是帧头");
    EXPECT_EQ(rows[1], "接收|FA 09 00 05 FE 00 54 A0 00 01|TARVO 5→0 找到设备，状态 54 A0 00 01");
    EXPECT_EQ(rows[2],
              "接收|FA 09 07 FA 09 00 05 FF|丢弃 8 字节：目的地址 0x07 不是 0；命令 0xFF 不被接受");
}

TEST_F(MonitorEngineTest, AReplacedRequestAndPurgedInputAreShownAsLost) {
    // One byte keeps the monitor thread at its delivery (held there by the gate); meanwhile
    // more bytes arrive and two requests are made: the second replaces the first, and the write
    // of the second purges the bytes not yet read.
    GatedOwner gate(*m_dlg->MessageOwner());
    ReopenThrough(gate);
    gate.Close();
    m_pty->Write({0x11});
    ASSERT_TRUE(WaitFor([&] { return gate.Held(); }));
    m_pty->Write({0x21, 0x22, 0x23, 0x24, 0x25});
    Click(MainControl(*m_dlg, IDC_SEARCH));
    Click(MainControl(*m_dlg, IDC_AUTO_ASSIGN));
    gate.Open();
    // The byte read is a run of dropped bytes, complete once the line has been quiet a while.
    ASSERT_TRUE(WaitFor([&] {
        return ShownRowsWith(*m_monitor, "自动分配地址通告").size() == 1 &&
               ShownRowsWith(*m_monitor, "丢弃").size() == 1;
    })) << ShownRows(*m_monitor).join('\n').toStdString();
    const QStringList rows = ShownRows(*m_monitor);
    const Bytes written = m_pty->Read(14, 1000);
    ASSERT_EQ(written.size(), 10u) << "only the second request was written";
    EXPECT_EQ(written[4], 0x20);
    EXPECT_EQ(rows.filter("被覆盖，未发送").join('\n'),
              "发送|FA 09 00 00|被覆盖，未发送：TARVO 0→0 搜索TARVO设备");
    EXPECT_EQ(rows.filter("清除").join('\n'), "接收||清除，未读取 5 字节");
    // The byte that was read is shown once, as a dropped run.
    EXPECT_EQ(rows.filter("丢弃").join('\n'), "接收|11|丢弃 1 字节：不是帧头 0xFA");
    // The purge comes before the write it precedes.
    EXPECT_LT(rows.indexOf(rows.filter("清除").value(0)),
              rows.indexOf(rows.filter("发送|FA 09 FF").value(0)));
    // The engine delivers to the gate until the port closes: close it before the gate goes.
    m_dlg.reset();
}

TEST_F(MonitorEngineTest, FiltersAndPauseChooseTheRowsShownWhileTheModelKeepsAll) {
    Feed({0xFA, 0x08, 0x00, 0x02, 0xFE, 0x00, 0x01, 0x02, 0x03, 0x04});
    Feed({0xFA, 0x08, 0x00, 0x03, 0xFE, 0x00, 0x05, 0x06, 0x07, 0x08});
    ClickTab(*m_dlg, 1);
    Click(MainControl(*m_dlg, IDC_SEARCH));
    ASSERT_TRUE(WaitFor([&] { return ShownRows(*m_monitor).size() == 3; }));

    auto* direction = MonitorControl<QComboBox>(m_monitor, IDC_MON_DIRECTION);
    auto* address = MonitorControl<QSpinBox>(m_monitor, IDC_MON_ADDRESS);
    auto* command = MonitorControl<QComboBox>(m_monitor, IDC_MON_COMMAND);
    ASSERT_TRUE(direction && address && command);
    ASSERT_TRUE(ChooseText(direction, QStringLiteral("发送")));
    EXPECT_EQ(ShownRows(*m_monitor), QStringList{"发送|FA 08 00 00|MIRELL 0→0 搜索MIRELL设备"});
    ASSERT_TRUE(ChooseText(direction, QStringLiteral("全部")));
    address->setValue(3);
    EXPECT_EQ(ShownRows(*m_monitor).size(), 1);
    address->setValue(-1);
    ASSERT_TRUE(ChooseText(command, QStringLiteral("找到设备 (0xFE)")));
    EXPECT_EQ(ShownRows(*m_monitor).size(), 2);
    ASSERT_TRUE(ChooseText(command, QStringLiteral("全部")));

    auto* pause = MonitorControl<QPushButton>(m_monitor, IDC_MON_PAUSE);
    Click(pause);
    ASSERT_TRUE(pause->isChecked());
    Feed({0xFA, 0x08, 0x00, 0x04, 0xFE, 0x00, 0x01, 0x01, 0x01, 0x01});
    EXPECT_EQ(ShownRows(*m_monitor).size(), 3);
    EXPECT_EQ(m_monitor->Frames().rowCount(), 4) << "rows keep coming into the model";
    Click(pause);
    EXPECT_EQ(ShownRows(*m_monitor).size(), 4);

    Click(MonitorControl(m_monitor, IDC_MON_CLEAR));
    EXPECT_TRUE(ShownRows(*m_monitor).isEmpty());
    EXPECT_EQ(m_monitor->Devices().rowCount(), 3) << "the devices seen stay";
}

TEST_F(MonitorEngineTest, AFailedExportIsShownInABoxAndLeavesNoFile) {
    Feed({0xFA, 0x09, 0x00, 0x05, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01});
    // A plain file where the folder should be: nothing can be created below it, whoever runs
    // the test (root included).
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString notAFolder = folder.filePath(QStringLiteral("plain"));
    {
        QFile plain(notAFolder);
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    }
    const QString target = notAFolder + QStringLiteral("/export.txt");
    ExportBy(*m_monitor, 0, target);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, "Ravlin");
    EXPECT_NE(m_boxes.Boxes()[0].text.find(("导出失败：" + target).toStdString()),
              std::string::npos);
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(MonitorEngineTest, AClosedMonitorKeepsRecordingUpToTheRowBound) {
    m_monitor->close();
    // More frames than the list keeps, in one stream: serial-format confirmations (no status
    // line, no device line), each numbered in its data bytes.
    const int extra = 3;
    Bytes stream;
    stream.reserve((CFrameTableModel::kMaxRows + extra) * 10);
    for (int i = 0; i < CFrameTableModel::kMaxRows + extra; ++i) {
        const Bytes frame = {0xFA,
                             0x09,
                             0x00,
                             0x05,
                             0x25,
                             0x00,
                             static_cast<std::uint8_t>(i),
                             static_cast<std::uint8_t>(i >> 8),
                             static_cast<std::uint8_t>(i >> 16),
                             0x00};
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    // Written from another thread: the line fills up until this one takes what arrives.
    std::thread writer([&] { m_pty->Write(stream); });
    const bool allIn = WaitFor(
        [&] {
            m_dlg->Recorder().Flush();
            return m_dlg->Recorder().Frames().LastSerial() ==
                   static_cast<std::uint64_t>(CFrameTableModel::kMaxRows + extra);
        },
        120000);
    writer.join();
    ASSERT_TRUE(allIn);
    EXPECT_FALSE(m_monitor->isVisible());
    EXPECT_EQ(m_monitor->Frames().rowCount(), CFrameTableModel::kMaxRows);

    ASSERT_EQ(OpenWithMenu(*m_dlg), m_monitor);
    const QAbstractItemModel* shown = m_monitor->FrameView()->model();
    ASSERT_EQ(shown->rowCount(), CFrameTableModel::kMaxRows);
    // The oldest went; the newest are there, in order (100,002 = 0x0186A2).
    EXPECT_EQ(shown->index(0, 2).data().toString(), "FA 09 00 05 25 00 03 00 00 00");
    EXPECT_EQ(shown->index(shown->rowCount() - 1, 2).data().toString(),
              "FA 09 00 05 25 00 A2 86 01 00");
}

}  // namespace
