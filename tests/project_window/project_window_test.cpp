// The commissioning project window against the bus simulator, driven by clicks: a capture, a
// panel changed with the TARVO page's "写入" and found by a check, the difference written and
// read back; a plan that does not match the bus (a missing panel, an unexpected one, a clash);
// a check stopped halfway; the report as PDF (read back with pdftotext) and CSV; the table
// edited by keyboard and the TARVO page as the editor of a panel's configuration. While a run
// goes on, the main dialog's sending controls are held and come back as they were.

#include "app/project_window.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>

#include "app/bus_monitor_dlg.h"
#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/qt_tab_control.h"
#include "project_window_driver.h"
#include "res/resource.h"
#include "sim/orval_simulator.h"

using namespace gui_test;
using namespace project_test;

namespace {

constexpr char kPortName[] = "orval-prj";
constexpr SimIdentity kPanelA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kPanelB{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kPanelC{0x54, 0xA0, 0x00, 0x03};
constexpr SimIdentity kSequencer{0x4D, 0x10, 0x00, 0x05};

// The main dialog's controls that send or change the device type, with the tab control.
constexpr int kHeldControls[] = {IDOK, IDC_OPEN_CLOSE, IDC_SEARCH, IDC_AUTO_ASSIGN,
                                 IDC_WRITE_ADDRESS};

// A planned TARVO panel with the factory configuration, as a project file holds it.
QString PanelEntry(int address, const char* label, int longPressMs = 800) {
    return QStringLiteral(
               "[[device]]\nmodel = \"tarvo\"\naddress = %1\nlabel = \"%2\"\n"
               "[device.key]\nmode = \"short-long\"\nlong_press_ms = %3\n"
               "[device.serial]\nbaud = 9600\ndata_bits = 8\nstop_bits = 1\nparity = \"none\"\n\n")
        .arg(address)
        .arg(QString::fromUtf8(label))
        .arg(longPressMs);
}

class ProjectWindowTest : public ::testing::Test {
protected:
    void StartBus(const std::vector<SimDeviceSpec>& devices) {
        m_sim = std::make_unique<OrvalSimulator>(devices);
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

    // What the main dialog's held controls and its tab show now.
    std::map<int, bool> HeldStates() const {
        std::map<int, bool> states;
        for (const int id : kHeldControls) {
            states[id] = MainControl(*m_dlg, id)->isEnabled();
        }
        states[IDC_TAB] = m_dlg->TabControl()->isEnabled();
        states[-1] = m_dlg->TabControl()->GetCurSel() == 0;
        return states;
    }
    bool AllHeld() const {
        for (const int id : kHeldControls) {
            if (MainControl(*m_dlg, id)->isEnabled()) {
                return false;
            }
        }
        return !m_dlg->TabControl()->isEnabled();
    }

    // Three planned panels that all answer, and a check of them caught once its read-backs
    // began: the searches done, the panels not all read. The main dialog's held controls are
    // kept from before the check.
    void CheckThreePanelsUntilReading() {
        StartBus({{SimModel::Tarvo, 1, kPanelA},
                  {SimModel::Tarvo, 2, kPanelB},
                  {SimModel::Tarvo, 3, kPanelC}});
        m_window = OpenWithShortcut(*m_dlg);
        ASSERT_NE(m_window, nullptr);
        ClickAndChooseFile(
            *m_window, IDC_PRJ_OPEN,
            WritePlan(PanelEntry(1, "一") + PanelEntry(2, "二") + PanelEntry(3, "三")));
        m_before = HeldStates();
        QObject::connect(m_window, &CProjectWindow::RunFinished, [this] { m_ended = true; });
        ClickButton(*m_window, IDC_PRJ_CHECK);
        m_status = qobject_cast<QLabel*>(WindowControl(*m_window, IDC_PRJ_STATUS));
        ASSERT_TRUE(
            WaitFor([&] { return m_status->text().contains("读取配置") || m_ended; }, 30000));
        ASSERT_FALSE(m_ended);
    }

    QString WritePlan(const QString& text) {
        const QString path = m_dir.filePath(QStringLiteral("bus.toml"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }

    QTemporaryDir m_dir;
    MessageBoxRecorder m_boxes;
    std::unique_ptr<OrvalSimulator> m_sim;
    std::unique_ptr<CRavlinDlg> m_dlg;
    // CheckThreePanelsUntilReading's window, its status line, whether the run ended, and the
    // main dialog's held controls before it.
    CProjectWindow* m_window = nullptr;
    QLabel* m_status = nullptr;
    bool m_ended = false;
    std::map<int, bool> m_before;
};

TEST_F(ProjectWindowTest, CaptureCheckAndApplyFollowAPanelChangedOnThePage) {
    StartBus({{SimModel::Tarvo, 1, kPanelA},
              {SimModel::Tarvo, 2, kPanelB},
              {SimModel::Mirell, 5, kSequencer}});
    m_dlg->OpenBusMonitor();
    CProjectWindow* window = OpenWithShortcut(*m_dlg);
    ASSERT_NE(window, nullptr);
    const std::map<int, bool> before = HeldStates();

    // Capture: while it runs the main dialog's sending controls are held, then they come back.
    bool ended = false;
    QObject::connect(window, &CProjectWindow::RunFinished, [&] { ended = true; });
    ClickButton(*window, IDC_PRJ_CAPTURE);
    EXPECT_TRUE(window->Running());
    EXPECT_TRUE(AllHeld());
    EXPECT_FALSE(WindowControl(*window, IDC_PRJ_CHECK)->isEnabled());
    EXPECT_TRUE(WindowControl(*window, IDC_PRJ_STOP)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return ended; }, 30000));
    EXPECT_EQ(HeldStates(), before);
    EXPECT_FALSE(WindowControl(*window, IDC_PRJ_STOP)->isEnabled());
    EXPECT_EQ(RowTexts(*window).join("\n").toStdString(),
              (QStringList{"|TARVO|1|54 A0 00 01|正常|", "|TARVO|2|54 A0 00 02|正常|",
                           "|MIRELL|5|4D 10 00 05|正常|"})
                  .join("\n")
                  .toStdString());
    // The main dialog showed the run's frames as it shows the installer's.
    EXPECT_TRUE(RowTexts(StatusList(*m_dlg)).contains(QStringLiteral("当前状态->找到设备")));
    EXPECT_FALSE(m_dlg->Log().Text().isEmpty());
    // The bus monitor has every frame: the searches of all three models and the read-backs.
    m_dlg->BusMonitor()->Flush();
    QStringList decodes;
    for (const MonitorRow& row : m_dlg->BusMonitor()->Frames().Rows()) {
        decodes << RowDecode(row);
    }
    for (const char* sent :
         {"搜索TARVO设备", "搜索MIRELL设备", "搜索OSKAN设备", "0→1 读取配置", "0→2 读取配置"}) {
        EXPECT_GE(decodes.filter(QString::fromUtf8(sent)).size(), 1) << sent;
    }

    // The installer changes panel 2 with the TARVO page's "写入".
    Click(MainControl(*m_dlg, IDC_SEARCH));
    QListWidget* devices = DeviceList(*m_dlg);
    ASSERT_TRUE(WaitFor([&] { return RowTexts(devices).contains("2"); }));
    ClickRow(devices, RowTexts(devices).indexOf("2"));
    qobject_cast<QLineEdit*>(FindControl(&m_dlg->TarvoPage(), IDC_LONG_PRESS_MS))
        ->setText(QStringLiteral("1500"));
    Click(MainControl(*m_dlg, IDOK));
    // The sequence reads the page and the list on this thread: the events go on meanwhile.
    ASSERT_TRUE(WaitFor([&] { return !m_dlg->KeyConfigWriter().Running(); }));
    ASSERT_TRUE(WaitFor([&] { return m_sim->Device(1).tarvo.longPressMs == 1500; }));

    // The check finds it, and names the field.
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_CHECK));
    const int panel2 = RowOf(*window, "TARVO", 2);
    ASSERT_GE(panel2, 0);
    EXPECT_EQ(RowText(*window, panel2).toStdString(),
              "|TARVO|2|54 A0 00 02|配置不同|长按时间：计划 800，实际 1500");
    EXPECT_TRUE(RowText(*window, RowOf(*window, "TARVO", 1)).contains("|正常|"));
    EXPECT_TRUE(RowText(*window, RowOf(*window, "MIRELL", 5)).contains("|正常|"));

    // "写入差异" writes the plan back; the run reads it back before it says "正常".
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_APPLY));
    EXPECT_EQ(RowText(*window, RowOf(*window, "TARVO", 2)).toStdString(),
              "|TARVO|2|54 A0 00 02|正常|已写入并核对");
    EXPECT_EQ(m_sim->Device(1).tarvo.longPressMs, 800);
    EXPECT_EQ(HeldStates(), before);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ProjectWindowTest, AMissingAnUnexpectedAndAClashingPanelEachHaveTheirRowAndTheReport) {
    StartBus({{SimModel::Tarvo, 1, kPanelA},
              {SimModel::Tarvo, 1, kPanelB},
              {SimModel::Tarvo, 9, kPanelC}});
    const QString plan = WritePlan(QStringLiteral("[[device]]\nmodel = \"tarvo\"\naddress = 1\n"
                                                  "label = \"前台\"\n\n") +
                                   PanelEntry(7, "窗边"));
    CProjectWindow* window = OpenWithMenu(*m_dlg);
    ASSERT_NE(window, nullptr);
    ClickAndChooseFile(*window, IDC_PRJ_OPEN, plan);
    ASSERT_EQ(window->Model().Rows().size(), 2u);

    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_CHECK));
    EXPECT_EQ(RowTexts(*window).join("\n").toStdString(),
              (QStringList{"前台|TARVO|1|54 A0 00 01, 54 A0 00 02|地址冲突|", "窗边|TARVO|7||缺失|",
                           "|TARVO|9|54 A0 00 03|多余|"})
                  .join("\n")
                  .toStdString());
    // The status is the cell's text; tint and icon only repeat it.
    const QModelIndex status = window->Table()->model()->index(0, CProjectTableModel::kStatus);
    EXPECT_FALSE(status.data(Qt::DecorationRole).isNull());
    EXPECT_FALSE(status.data(Qt::BackgroundRole).isNull());

    // The report: a PDF with one row per device, and the same table as CSV beside it.
    const QString pdf = m_dir.filePath(QStringLiteral("交接报告.pdf"));
    ClickAndChooseFile(*window, IDC_PRJ_EXPORT, pdf);
    ASSERT_TRUE(QFile::exists(pdf));
    QFile csv(m_dir.filePath(QStringLiteral("交接报告.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList csvLines =
        QString::fromUtf8(csv.readAll()).remove(QChar(0xFEFF)).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(csvLines,
              (QStringList{"标签,型号,地址,身份,状态,配置",
                           "前台,TARVO,1,\"54 A0 00 01, 54 A0 00 02\",地址冲突,",
                           "窗边,TARVO,7,,缺失,长短按模式，长按 800 ms；第一组 无；第二组 "
                           "无；设备串口 9600，8，1，NONE",
                           ",TARVO,9,54 A0 00 03,多余,"}));

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(words.count(QStringLiteral("TARVO")), 3) << words.toStdString();
    // Each row once; the status words once more in the summary, the line once more in the
    // panel's configuration.
    for (const auto& [expected, times] :
         {std::pair{"前台", 1}, std::pair{"窗边", 1}, std::pair{"54 A0 00 03", 1},
          std::pair{"地址冲突", 2}, std::pair{"缺失", 2}, std::pair{"多余", 2},
          std::pair{"调试报告：bus", 1}, std::pair{"orval-prj", 1},
          std::pair{"9600，8，1，NONE", 2}}) {
        EXPECT_EQ(words.count(QString::fromUtf8(expected)), times)
            << expected << words.toStdString();
    }

    // The first page as a picture, for the eye (and for the documentation when asked for).
    const QString page = m_dir.filePath(QStringLiteral("page"));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                  QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                  QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, page});
    ASSERT_TRUE(render.waitForFinished(30000));
    EXPECT_TRUE(QFile::exists(page + QStringLiteral(".png")));
    if (const QByteArray out = qgetenv("RAVLIN_SHOT_DIR"); !out.isEmpty()) {
        const QDir dir(QString::fromLocal8Bit(out));
        QFile::remove(dir.filePath(QStringLiteral("project-report.png")));
        QFile::copy(page + QStringLiteral(".png"),
                    dir.filePath(QStringLiteral("project-report.png")));
        window->grab().save(dir.filePath(QStringLiteral("project-window.png")));
        QFile::remove(dir.filePath(QStringLiteral("project-report.pdf")));
        QFile::copy(pdf, dir.filePath(QStringLiteral("project-report.pdf")));
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ProjectWindowTest, TheMenuEntryComesAfterTheMonitorsAndCtrlPShowsTheSameWindow) {
    StartBus({});
    QStringList texts;
    QTimer::singleShot(20, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_dlg->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dlg.get(), &event);
    EXPECT_EQ(texts.join('|').toStdString(),
              "总线监视(&M)...|调试项目(&P)...|-|关于 Ravlin(&A)...");

    CProjectWindow* window = OpenWithMenu(*m_dlg);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "调试项目");
    window->hide();
    EXPECT_EQ(OpenWithShortcut(*m_dlg), window);
    EXPECT_TRUE(window->isVisible());
    // A run needs the open port.
    Click(MainControl(*m_dlg, IDC_OPEN_CLOSE));
    ASSERT_FALSE(m_dlg->PortOpen());
    ClickButton(*window, IDC_PRJ_CAPTURE);
    EXPECT_FALSE(window->Running());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes().front().text, "请先打开串口!");
}

TEST_F(ProjectWindowTest, ResolveMovesAClashingPanelToItsPlannedAddress) {
    // Both panels came from the factory at address 1; the plan knows them by their identities.
    StartBus({{SimModel::Tarvo, 1, kPanelA}, {SimModel::Tarvo, 1, kPanelB}});
    CProjectWindow* window = OpenWithShortcut(*m_dlg);
    ASSERT_NE(window, nullptr);
    ClickAndChooseFile(*window, IDC_PRJ_OPEN,
                       WritePlan(QStringLiteral("[[device]]\nmodel = \"tarvo\"\naddress = 1\n"
                                                "label = \"东\"\nidentity = \"54 A0 00 01\"\n\n"
                                                "[[device]]\nmodel = \"tarvo\"\naddress = 2\n"
                                                "label = \"西\"\nidentity = \"54 A0 00 02\"\n")));
    const std::map<int, bool> before = HeldStates();
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_RESOLVE, 60000));
    EXPECT_TRUE(window->LastReport().interrupted.empty());
    EXPECT_EQ(m_sim->Device(0).address, 1);
    EXPECT_EQ(m_sim->Device(1).address, 2);
    const QStringList rows = RowTexts(*window);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith("东|TARVO|1|54 A0 00 01|正常")) << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith("西|TARVO|2|54 A0 00 02|正常")) << rows[1].toStdString();
    EXPECT_EQ(HeldStates(), before);

    // And a check agrees.
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_CHECK));
    EXPECT_EQ(RowTexts(*window).filter("|正常|").size(), 2);

    // "闪烁" flashes the selected panel's LED1 until "停止" switches it off.
    ClickCell(*window, 1, CProjectTableModel::kLabel);
    ClickButton(*window, IDC_PRJ_IDENTIFY);
    ASSERT_TRUE(window->Running());
    ASSERT_TRUE(WaitFor([&] { return m_sim->Device(1).led1 == LedState::Flash; }));
    EXPECT_EQ(m_sim->Device(0).led1, LedState::Off);
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_STOP));
    EXPECT_TRUE(WaitFor([&] { return m_sim->Device(1).led1 == LedState::Off; }));
    EXPECT_EQ(HeldStates(), before);
}

TEST_F(ProjectWindowTest, StopEndsACheckHalfwayAndGivesTheBusBack) {
    // Stopped once the read-backs began: the searches are done, the panels not all read.
    ASSERT_NO_FATAL_FAILURE(CheckThreePanelsUntilReading());
    CProjectWindow* window = m_window;
    QLabel* status = m_status;
    const bool& ended = m_ended;
    const std::map<int, bool>& before = m_before;
    EXPECT_GT(window->Progress()->maximum(), window->Progress()->value());
    ClickButton(*window, IDC_PRJ_STOP);
    ASSERT_TRUE(WaitFor([&] { return ended; }, 30000));
    EXPECT_EQ(window->LastReport().interrupted, "stopped");
    EXPECT_EQ(status->text(), "已停止");
    EXPECT_EQ(HeldStates(), before);
    EXPECT_TRUE(WindowControl(*window, IDC_PRJ_CHECK)->isEnabled());

    // The bus is the window's again, and the next check runs to its end.
    ASSERT_TRUE(RunToEnd(*window, IDC_PRJ_CHECK));
    EXPECT_TRUE(window->LastReport().interrupted.empty());
    EXPECT_EQ(RowTexts(*window).join("\n").toStdString(),
              (QStringList{"一|TARVO|1|54 A0 00 01|正常|", "二|TARVO|2|54 A0 00 02|正常|",
                           "三|TARVO|3|54 A0 00 03|正常|"})
                  .join("\n")
                  .toStdString());
}

TEST_F(ProjectWindowTest, APortThatFailsEndsTheCheckAtOnceAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(CheckThreePanelsUntilReading());
    CProjectWindow* window = m_window;
    QLabel* status = m_status;
    const bool& ended = m_ended;
    const std::map<int, bool>& before = m_before;
    // The adapter goes away: the run must not wait out its steps and call the panels missing.
    m_sim->Stop();
    ASSERT_TRUE(WaitFor([&] { return ended; }, 30000));
    EXPECT_EQ(window->LastReport().interrupted.rfind("the port failed: ", 0), 0u)
        << window->LastReport().interrupted;
    EXPECT_TRUE(status->text().startsWith("串口故障：")) << status->text().toStdString();
    EXPECT_FALSE(status->text().contains("the port failed")) << status->text().toStdString();
    EXPECT_EQ(HeldStates(), before);
}

TEST_F(ProjectWindowTest, ThePlanIsEditedByKeyboardAndThePageEditsAPanelsConfiguration) {
    StartBus({});
    CProjectWindow* window = OpenWithShortcut(*m_dlg);
    ASSERT_NE(window, nullptr);
    ClickAndChooseFile(*window, IDC_PRJ_OPEN,
                       WritePlan(PanelEntry(1, "门口", 1500) + PanelEntry(2, "窗边")));
    QTableView* table = window->Table();

    // What a screen reader finds: the table by name, its cells by their text, every button.
    EXPECT_EQ(table->accessibleName(), "设备计划");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(table);
    ASSERT_NE(access, nullptr);
    ASSERT_NE(access->tableInterface(), nullptr);
    QAccessibleInterface* cell = access->tableInterface()->cellAt(1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "窗边");
    QStringList names;
    for (const QPushButton* b : window->findChildren<QPushButton*>()) {
        names << b->accessibleName();
    }
    names.sort();
    QStringList expected = {"新建",        "打开...",  "保存",         "采集",
                            "检查",        "写入差异", "解决冲突",     "闪烁",
                            "导出报告...", "停止",     "从页面取配置", "载入到页面"};
    expected.sort();
    EXPECT_EQ(names, expected);

    // The label and the address are typed into the table.
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ClickCell(*window, 0, CProjectTableModel::kLabel);
    QTest::keyClick(table, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(table->isAncestorOf(editor)) << editor->metaObject()->className();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    // Chinese comes from the input method, as a committed string.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("会议室"));
    QApplication::sendEvent(editor, &typed);
    QTest::keyClick(editor, Qt::Key_Return);
    // The view takes the edit on its next turn.
    EXPECT_TRUE(WaitFor([&] { return window->Model().Plan().devices[0].label == "会议室"; }));
    for (const auto& [typed, address] :
         {std::pair{"12", 12}, std::pair{"2", 12}, std::pair{"0", 12}, std::pair{"256", 12}}) {
        ClickCell(*window, 0, CProjectTableModel::kAddress);
        QTest::keyClick(table, Qt::Key_F2);
        editor = QApplication::focusWidget();
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QString::fromUtf8(typed));
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] {
            return !table->isAncestorOf(QApplication::focusWidget()) ||
                   QApplication::focusWidget() == table;
        }));
        // Taken: 1..255 and no other panel there.
        EXPECT_EQ(window->Model().Plan().devices[0].address, address) << typed;
    }

    // "载入到页面" puts the panel's plan on the TARVO page; "从页面取配置" takes the page's back.
    auto* longPress = qobject_cast<QLineEdit*>(FindControl(&m_dlg->TarvoPage(), IDC_LONG_PRESS_MS));
    ClickCell(*window, 0, CProjectTableModel::kModel);
    ClickButton(*window, IDC_PRJ_TO_PAGE);
    EXPECT_EQ(longPress->text(), "1500");
    ClickCell(*window, 1, CProjectTableModel::kModel);
    ClickButton(*window, IDC_PRJ_TO_PAGE);
    EXPECT_EQ(longPress->text(), "800");
    longPress->setText(QStringLiteral("2500"));
    ClickButton(*window, IDC_PRJ_FROM_PAGE);
    EXPECT_EQ(window->Model().Plan().devices[1].keyConfig->longPressMs, 2500u);
    EXPECT_EQ(window->Model().Plan().devices[0].keyConfig->longPressMs, 1500u);
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // A refusal of the page is told in its words and leaves the plan alone.
    longPress->setText(QStringLiteral("100"));
    ClickButton(*window, IDC_PRJ_FROM_PAGE);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(window->Model().Plan().devices[1].keyConfig->longPressMs, 2500u);

    // The keyboard reaches every control in reading order, and Space clicks a button.
    WindowControl(*window, IDC_PRJ_NEW)->setFocus();
    QStringList path;
    for (int i = 0; i < 13; ++i) {
        path << QApplication::focusWidget()->accessibleName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(path.join('|').toStdString(),
              "新建|打开...|保存|导出报告...|设备计划|从页面取配置|载入到页面|采集|检查|写入差异|"
              "解决冲突|闪烁|新建");
    // Saved, the plan reads back the same.
    const QString saved = m_dir.filePath(QStringLiteral("saved.toml"));
    ASSERT_TRUE(window->SaveFile(saved));
    ASSERT_TRUE(window->OpenFile(saved));
    EXPECT_EQ(window->Model().Plan().devices[0].label, "会议室");
    EXPECT_EQ(window->Model().Plan().devices[0].address, 12);
    EXPECT_EQ(window->Model().Plan().devices[1].keyConfig->longPressMs, 2500u);
}

}  // namespace
