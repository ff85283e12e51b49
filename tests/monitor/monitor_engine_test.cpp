// The bus monitor on a pseudo-terminal whose other end plays the bus: what the parser dropped,
// a request the engine replaced before writing it, and received bytes the purge before a write
// discarded, each as the engine and the parser report them.

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <memory>
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
    // A wrong type breaks the frame that FA began; the bytes after it are no frame head.
    Feed({0xFA, 0x0A, 0x11, 0x22, 0xFA, 0x09, 0x00, 0x05, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01});
    // Destination not the PC, then a command that is never accepted.
    Feed({0xFA, 0x09, 0x07});
    Feed({0xFA, 0x09, 0x00, 0x05, 0xFF});
    ASSERT_TRUE(WaitFor([&] { return ShownRows(*m_monitor).size() >= 3; }));
    const QStringList rows = ShownRows(*m_monitor);
    ASSERT_EQ(rows.size(), 3) << rows.join('\n').toStdString();
    EXPECT_EQ(rows[0], "接收|FA 0A 11 22|丢弃 4 字节：类型 0x0A 不在 6..9；另 2 字节不是帧头");
    EXPECT_EQ(rows[1], "接收|FA 09 00 05 FE 00 54 A0 00 01|TARVO 5→0 找到设备，状态 54 A0 00 01");
    EXPECT_EQ(rows[2],
              "接收|FA 09 07 FA 09 00 05 FF|丢弃 8 字节：目的地址 0x07 不是 0；命令 0xFF 不被接受");
}

TEST_F(MonitorEngineTest, AReplacedRequestAndPurgedInputAreShownAsLost) {
    // One byte keeps the monitor thread waiting for this thread to take it; meanwhile more
    // bytes arrive and two requests are made: the second replaces the first, and the write of
    // the second purges the bytes not yet read.
    m_pty->Write({0x11});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    m_pty->Write({0x21, 0x22, 0x23, 0x24, 0x25});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Click(MainControl(*m_dlg, IDC_SEARCH));
    Click(MainControl(*m_dlg, IDC_AUTO_ASSIGN));
    ASSERT_TRUE(WaitFor([&] { return ShownRowsWith(*m_monitor, "自动分配地址通告").size() == 1; }))
        << ShownRows(*m_monitor).join('\n').toStdString();
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

TEST_F(MonitorEngineTest, AClosedMonitorRecordsNothingAndCostsTheParserNothing) {
    m_monitor->close();
    Feed({0xFA, 0x09, 0x00, 0x05, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01});
    Click(MainControl(*m_dlg, IDC_SEARCH));
    ASSERT_EQ(m_pty->Read(4, 5000).size(), 4u);
    // The monitor thread tells the tap of a write after the line has taken it; a byte it hands
    // over afterwards shows that the write is behind it before the monitor opens again.
    Feed({0x55});
    ASSERT_EQ(OpenWithMenu(*m_dlg), m_monitor);
    EXPECT_TRUE(ShownRows(*m_monitor).isEmpty()) << ShownRows(*m_monitor).join('\n').toStdString();
}

}  // namespace
