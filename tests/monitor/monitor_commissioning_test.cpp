// The bus monitor through a commissioning run against the bus simulator: search, automatic
// assignment, a key-configuration write and a configuration read, each as decoded rows in both
// directions, the devices seen, and the exports read back.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
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

constexpr char kPortName[] = "orval-mon";
constexpr SimIdentity kTarvoA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kTarvoB{0x54, 0xA0, 0x00, 0x02};

class MonitorCommissioningTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<OrvalSimulator>(std::vector<SimDeviceSpec>{
            {SimModel::Tarvo, 1, kTarvoA}, {SimModel::Tarvo, 1, kTarvoB}});
        m_sim->SetTraceSink(nullptr);
        m_sim->Start(kPortName);
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        m_monitor = OpenWithMenu(*m_dlg);
        ASSERT_NE(m_monitor, nullptr);
        ASSERT_TRUE(OpenPort(*m_dlg, QString::fromUtf8(kPortName)));
        m_devices = DeviceList(*m_dlg);
    }
    void TearDown() override {
        m_dlg.reset();
        m_sim.reset();
    }
    template <class T = QWidget>
    T* Tarvo(int id) const {
        return qobject_cast<T*>(FindControl(&m_dlg->TarvoPage(), id));
    }
    // Rows of the model (not only those shown) whose decode contains `text`.
    std::vector<MonitorRow> RowsWith(const QString& text) {
        m_monitor->Flush();
        std::vector<MonitorRow> rows;
        for (const MonitorRow& row : m_monitor->Frames().Rows()) {
            if (RowDecode(row).contains(text)) {
                rows.push_back(row);
            }
        }
        return rows;
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<OrvalSimulator> m_sim;
    std::unique_ptr<CRavlinDlg> m_dlg;
    CBusMonitorDlg* m_monitor = nullptr;
    QListWidget* m_devices = nullptr;
};

TEST_F(MonitorCommissioningTest, ACommissioningRunIsRecordedDecodedAndExported) {
    // Search: the frame sent and both panels' replies at the factory address.
    Click(MainControl(*m_dlg, IDC_SEARCH));
    ASSERT_TRUE(WaitFor([&] { return RowsWith("找到设备").size() == 2; }));
    EXPECT_EQ(ShownRowsWith(*m_monitor, "搜索").value(0),
              "发送|FA 09 00 00|TARVO 0→0 搜索TARVO设备");
    EXPECT_EQ(
        ShownRowsWith(*m_monitor, "找到设备"),
        (QStringList{"接收|FA 09 00 01 FE 00 54 A0 00 01|TARVO 1→0 找到设备，状态 54 A0 00 01",
                     "接收|FA 09 00 01 FE 00 54 A0 00 02|TARVO 1→0 找到设备，状态 54 A0 00 02"}));

    // Automatic assignment from 10: the announcement, each request and the address given.
    ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(MainControl(*m_dlg, IDC_ADDRESS)), "10"));
    Click(MainControl(*m_dlg, IDC_AUTO_ASSIGN));
    ASSERT_TRUE(WaitFor([&] { return RowsWith("地址分配确认").size() == 2; }, 15000));
    EXPECT_EQ(ShownRowsWith(*m_monitor, "自动分配地址通告").value(0).section('|', 0, 0), "发送");
    const QStringList given = ShownRowsWith(*m_monitor, "分配地址：新地址");
    ASSERT_EQ(given.size(), 2);
    EXPECT_EQ(given[0],
              "发送|FA 09 01 00 22 0A 54 A0 00 01|TARVO 0→1 分配地址：新地址 10，状态 54 A0 00 01");
    EXPECT_TRUE(given[1].endsWith("分配地址：新地址 11，状态 54 A0 00 02"))
        << given[1].toStdString();
    EXPECT_EQ(RowsWith("请求分配地址").size(), 2u);
    EXPECT_EQ(RowsWith("地址分配确认：地址 11").size(), 1u);

    // Search again, select 11 and write its key configuration: four frames 100 ms apart.
    Click(MainControl(*m_dlg, IDC_SEARCH));
    ASSERT_TRUE(WaitFor([&] { return RowTexts(m_devices).contains("11"); }));
    ClickRow(m_devices, RowTexts(m_devices).indexOf("11"));
    Click(Tarvo(IDC_MODE_SHORT_LONG));
    Tarvo<QLineEdit>(IDC_LONG_PRESS_MS)->setText(QStringLiteral("1500"));
    Tarvo<QPlainTextEdit>(IDC_PRESS_CODES)->setPlainText(QStringLiteral("01 02 0A"));
    Tarvo<QPlainTextEdit>(IDC_RELEASE_CODES)->setPlainText(QStringLiteral("7F"));
    ASSERT_TRUE(ChooseText(Tarvo<QComboBox>(IDC_DEV_BAUD), QStringLiteral("19200")));
    const std::size_t before = m_monitor->Frames().Rows().size();
    Click(MainControl(*m_dlg, IDOK));
    ASSERT_TRUE(WaitFor([&] { return !m_dlg->KeyConfigWriter().Running(); }));
    ASSERT_TRUE(WaitFor([&] { return RowsWith("串口格式").size() == 2; }))
        << ShownRows(*m_monitor).join('\n').toStdString();
    std::vector<MonitorRow> sent;
    for (std::size_t i = before; i < m_monitor->Frames().Rows().size(); ++i) {
        // The re-search frame may reach the table after the click, so only the frames to
        // device 11 count here.
        const MonitorRow& row = m_monitor->Frames().Rows()[i];
        if (row.kind == MonitorRow::Kind::Sent && row.bytes.size() > 2 && row.bytes[2] == 11) {
            sent.push_back(row);
        }
    }
    ASSERT_EQ(sent.size(), 4u) << ShownRows(*m_monitor).join('\n').toStdString();
    EXPECT_EQ(RowDecode(sent[0]), "TARVO 0→11 按键模式：长短按模式，长按时间 1500 ms");
    EXPECT_EQ(RowDecode(sent[1]), "TARVO 0→11 第一组功能码 3 个：01 02 0A");
    EXPECT_EQ(RowDecode(sent[2]), "TARVO 0→11 第二组功能码 1 个：7F");
    EXPECT_TRUE(RowDecode(sent[3]).endsWith("串口格式：波特率 19200，格式 8-N-1"));
    for (std::size_t i = 1; i < sent.size(); ++i) {
        const double gap = sent[i].msSinceOpen - sent[i - 1].msSinceOpen;
        // The worker pauses 100 ms between frames; a busy machine may shorten the gap seen
        // at the line by the delay of the write before it.
        EXPECT_GE(gap, 50.0) << i;
        EXPECT_LT(gap, 400.0) << i;
    }
    EXPECT_TRUE(WaitFor([&] { return RowsWith("按键模式和长按时间设置成功").size() == 1; }));

    // Configuration read: the request and the 160-byte reply, decoded.
    DoubleClickRow(m_devices, RowTexts(m_devices).indexOf("11"));
    ASSERT_TRUE(WaitFor([&] { return RowsWith("配置：").size() == 1; }));
    // Bytes 5..9 go out as the previous frame left them.
    const QString request = ShownRowsWith(*m_monitor, "读取配置").value(0);
    EXPECT_TRUE(request.startsWith("发送|FA 09 0B 00 23 ")) << request.toStdString();
    EXPECT_TRUE(request.endsWith("|TARVO 0→11 读取配置")) << request.toStdString();
    const MonitorRow reply = RowsWith("配置：").front();
    EXPECT_EQ(reply.bytes.size(), 160u);
    EXPECT_EQ(RowDecode(reply),
              "TARVO 11→0 配置：波特率 19200，格式 8-N-1，长短按模式，长按时间 1500 ms，"
              "短按功能码 01 02 0A，长按功能码 7F");

    // The devices seen: both panels at 1, then at their new addresses, with the configuration.
    const auto& seen = m_monitor->Devices();
    QStringList devices;
    for (const SeenDevice& d : seen.Devices()) {
        devices << seen.Text(d, CDeviceTableModel::kAddress) + " " +
                       seen.Text(d, CDeviceTableModel::kState);
    }
    EXPECT_EQ(devices,
              (QStringList{"1 54 A0 00 01", "1 54 A0 00 02", "10 54 A0 00 01", "11 54 A0 00 02"}));
    EXPECT_TRUE(seen.Devices().back().config.startsWith("配置：波特率 19200"));
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // The exports read back as written.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString text = folder.filePath("frames.txt");
    const QString csv = folder.filePath("frames.csv");
    const QString devicesCsv = folder.filePath("devices.csv");
    ExportBy(*m_monitor, 0, text);
    ExportBy(*m_monitor, 1, csv);
    ExportBy(*m_monitor, 2, devicesCsv);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const auto read = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return QString::fromUtf8(file.readAll());
    };
    const std::deque<MonitorRow>& rows = m_monitor->Frames().Rows();
    const QStringList textLines = read(text).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(static_cast<std::size_t>(textLines.size()), rows.size());
    EXPECT_EQ(textLines.front(),
              RowIsoTime(rows.front()) + "\t发送\tFA 09 00 00\tTARVO 0→0 搜索TARVO设备");
    const QStringList csvLines = read(csv).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(static_cast<std::size_t>(csvLines.size()), rows.size() + 1);
    // The CSV starts with a UTF-8 byte-order mark (spreadsheets need it for the Chinese); the
    // UTF-8 decoder drops it from the text.
    QFile csvFile(csv);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csvFile.read(3) == QByteArray("\xEF\xBB\xBF"));
    EXPECT_EQ(csvLines.front(), QStringLiteral("时间,自打开(ms),方向,字节,说明"));
    EXPECT_EQ(csvLines.filter("配置：").value(0).section(',', 2, 3), "接收," + RowHex(reply));
    EXPECT_TRUE(csvLines.filter("配置：").value(0).endsWith("\"" + RowDecode(reply) + "\"") ||
                csvLines.filter("配置：").value(0).endsWith(RowDecode(reply)));
    const QStringList deviceLines = read(devicesCsv).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(deviceLines.size(), 5);
    EXPECT_TRUE(deviceLines[4].startsWith("TARVO,11,54 A0 00 02,")) << deviceLines[4].toStdString();

    // With RAVLIN_E2E_PICTURES set to a folder, the monitor as the installer now sees it is saved
    // there (the README's picture).
    if (const QByteArray pictures = qgetenv("RAVLIN_E2E_PICTURES"); !pictures.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(pictures));
        EXPECT_TRUE(m_monitor->grab().save(QString::fromLocal8Bit(pictures) + "/bus-monitor.png"));
    }
}

}  // namespace
