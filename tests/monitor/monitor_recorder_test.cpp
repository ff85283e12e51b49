// The bus monitor as a flight recorder, against the bus simulator: a search made before the
// monitor window was ever opened is there when it opens; traffic while it is closed again is
// kept; "清除" empties the frame list and leaves the devices; the "设备" tab counts each
// device's requests and answers, and its CSV export carries them.

#include <QFile>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/bus_monitor_dlg.h"
#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "monitor_test_support.h"
#include "res/resource.h"
#include "sim/orval_simulator.h"

using namespace gui_test;
using namespace monitor_test;

namespace {

constexpr char kPortName[] = "orval-rec";

class MonitorRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<OrvalSimulator>(
            std::vector<SimDeviceSpec>{{SimModel::Tarvo, 1, {0x54, 0xA0, 0x00, 0x01}},
                                       {SimModel::Tarvo, 2, {0x54, 0xA0, 0x00, 0x02}}});
        m_sim->SetTraceSink(nullptr);
        m_sim->Start(kPortName);
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        ASSERT_TRUE(OpenPort(*m_dlg, QString::fromUtf8(kPortName)));
    }
    void TearDown() override {
        m_dlg.reset();
        m_sim.reset();
    }
    // Searches and waits until both panels are in the device list.
    void Search() {
        Click(MainControl(*m_dlg, IDC_SEARCH));
        ASSERT_TRUE(WaitFor([&] { return DeviceList(*m_dlg)->count() == 2; }));
    }
    // The 设备 tab's rows, each as "地址 请求 应答".
    static QStringList DeviceCounts(CBusMonitorDlg& monitor) {
        monitor.Flush();
        QStringList rows;
        const QAbstractItemModel* model = monitor.DeviceView()->model();
        for (int r = 0; model && r < model->rowCount(); ++r) {
            rows << model->index(r, CDeviceTableModel::kAddress).data().toString() + " " +
                        model->index(r, CDeviceTableModel::kRequests).data().toString() + " " +
                        model->index(r, CDeviceTableModel::kAnswered).data().toString();
        }
        return rows;
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<OrvalSimulator> m_sim;
    std::unique_ptr<CRavlinDlg> m_dlg;
};

TEST_F(MonitorRecorderTest, ASearchMadeBeforeTheMonitorOpenedIsThereAndStaysAcrossClosing) {
    ASSERT_EQ(m_dlg->BusMonitor(), nullptr) << "the window was never opened";
    Search();

    CBusMonitorDlg* monitor = OpenWithShortcut(*m_dlg);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(ShownRowsWith(*monitor, "搜索"),
              QStringList{"发送|FA 09 00 00|TARVO 0→0 搜索TARVO设备"});
    EXPECT_EQ(ShownRowsWith(*monitor, "找到设备").size(), 2);
    // The 设备 tab, reached by a click on its tab: both panels, one search each, answered.
    auto* tabs = MonitorControl<QTabWidget>(monitor, IDC_MON_TABS);
    ASSERT_NE(tabs, nullptr);
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, Qt::NoModifier,
                      tabs->tabBar()->tabRect(1).center());
    ASSERT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(DeviceCounts(*monitor), (QStringList{"1 1 1", "2 1 1"}));

    // Closed, the window goes on recording; reopened, it is the same window with both searches.
    monitor->close();
    ASSERT_FALSE(monitor->isVisible());
    Search();
    ASSERT_EQ(OpenWithMenu(*m_dlg), monitor);
    EXPECT_EQ(ShownRowsWith(*monitor, "搜索").size(), 2);
    EXPECT_EQ(ShownRowsWith(*monitor, "找到设备").size(), 4);
    EXPECT_EQ(DeviceCounts(*monitor), (QStringList{"1 2 2", "2 2 2"}));
    const QAbstractItemModel* devices = monitor->DeviceView()->model();
    for (int r = 0; r < 2; ++r) {
        const double least = devices->index(r, CDeviceTableModel::kMinDelay).data().toDouble();
        const double most = devices->index(r, CDeviceTableModel::kMaxDelay).data().toDouble();
        const double median = devices->index(r, CDeviceTableModel::kMedianDelay).data().toDouble();
        // The simulator answers 15 ms after the request at the earliest.
        EXPECT_GE(least, 10.0);
        EXPECT_LE(least, median);
        EXPECT_LE(median, most);
    }

    // "清除" empties the frame list, not the devices seen; what comes next is recorded again.
    tabs->setCurrentIndex(0);
    Click(MonitorControl(monitor, IDC_MON_CLEAR));
    EXPECT_TRUE(ShownRows(*monitor).isEmpty());
    EXPECT_EQ(monitor->Devices().rowCount(), 2);
    monitor->close();
    Search();
    ASSERT_EQ(OpenWithMenu(*m_dlg), monitor);
    EXPECT_EQ(ShownRowsWith(*monitor, "找到设备").size(), 2);

    // The devices' CSV carries the counts and the delays.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("devices.csv");
    ExportBy(*monitor, 2, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              "类型,地址,状态字节,首次,最近,帧数,请求,应答,最短应答(ms),中位应答(ms),"
              "最长应答(ms),丢弃帧,最近配置");
    EXPECT_EQ(lines[1].section(',', 0, 2), "TARVO,1,54 A0 00 01");
    EXPECT_EQ(lines[1].section(',', 5, 7), "3,3,3") << "frames, requests, answers";
    EXPECT_EQ(lines[1].section(',', 11, 11), "0") << "no frame dropped";
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

}  // namespace
