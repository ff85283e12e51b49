// The main dialog at start, its tabs and pages, the About box, the link and the ways to end
// it, driven through real widgets addressed by control number.

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <memory>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "main_dialog_fixture.h"
#include "platform/pseudo_terminal.h"
#include "platform/qt_tab_control.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

class MainDialogTest : public MainDialogFixture {
protected:
    QWidget* C(int id) const { return FindControl(m_dlg.get(), id); }
    template <class T>
    T* C(int id) const {
        return qobject_cast<T*>(FindControl(m_dlg.get(), id));
    }
    void ClickTab(int index) {
        QTabBar* bar = m_dlg->TabControl()->TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
    }
    void AddDevices() {
        auto* list = C<QListWidget>(IDC_DEVICE_LIST);
        list->addItem(QStringLiteral("5"));
        list->addItem(QStringLiteral("7"));
    }
};

TEST_F(MainDialogTest, StartsWithTheControlsTextsAndStatesOfTheTemplate) {
    EXPECT_EQ(m_dlg->windowTitle(), QStringLiteral("Quillmere ORVAL设备配置 V1.2"));
    EXPECT_TRUE(m_boxes.Boxes().empty());

    struct Expect {
        int id;
        const char* text;
        bool visible;
        bool enabled;
    };
    for (const Expect& e :
         {Expect{IDOK, "写入", true, false}, Expect{IDCANCEL, "退出", true, true},
          Expect{IDC_OPEN_CLOSE, "打开串口", true, true},
          Expect{IDC_WRITE_ADDRESS, "写入", false, false},
          Expect{IDC_AUTO_ASSIGN, "自动分配", true, false},
          Expect{IDC_SEARCH, "搜索设备", true, false}, Expect{IDC_CLEAR_LOG, "清空", true, true}}) {
        auto* button = C<QPushButton>(e.id);
        ASSERT_NE(button, nullptr) << e.id;
        EXPECT_EQ(button->text(), QString::fromUtf8(e.text)) << e.id;
        EXPECT_EQ(button->isVisible(), e.visible) << e.id;
        EXPECT_EQ(button->isEnabled(), e.enabled) << e.id;
    }
    for (int id :
         {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PARITY, IDC_ADDRESS,
          IDC_DEVICE_LIST, IDC_STATUS_LIST, IDC_UNUSED_TEXT, IDC_LOG, IDC_TAB, IDC_MAKER_LINK}) {
        ASSERT_NE(C(id), nullptr) << id;
        EXPECT_TRUE(C(id)->isVisible()) << id;
        EXPECT_TRUE(C(id)->isEnabled()) << id;
    }
    EXPECT_EQ(C<QListWidget>(IDC_DEVICE_LIST)->count(), 0);
    EXPECT_EQ(C<QListWidget>(IDC_STATUS_LIST)->count(), 0);
    EXPECT_TRUE(C<QPlainTextEdit>(IDC_LOG)->toPlainText().isEmpty());
    EXPECT_TRUE(C<QPlainTextEdit>(IDC_LOG)->isReadOnly());

    // Panel defaults: 9600, 8, "1", "NONE"; addresses "1".."255" with "1" chosen.
    EXPECT_EQ(C<QComboBox>(IDC_BAUD)->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(C<QComboBox>(IDC_BAUD)->currentData().toUInt(), 9600u);
    EXPECT_EQ(C<QComboBox>(IDC_BAUD)->itemText(9), QStringLiteral("194000"));
    EXPECT_EQ(C<QComboBox>(IDC_DATA_BITS)->currentText(), QStringLiteral("8"));
    EXPECT_EQ(C<QComboBox>(IDC_STOP_BITS)->currentText(), QStringLiteral("1"));
    EXPECT_EQ(C<QComboBox>(IDC_STOP_BITS)->itemData(1).toUInt(), 1u);
    EXPECT_EQ(C<QComboBox>(IDC_PARITY)->currentText(), QStringLiteral("NONE"));
    EXPECT_EQ(C<QComboBox>(IDC_PARITY)->itemData(4).toUInt(), unsigned('S'));
    auto* address = C<QComboBox>(IDC_ADDRESS);
    ASSERT_EQ(address->count(), 255);
    EXPECT_EQ(address->currentText(), QStringLiteral("1"));
    EXPECT_EQ(address->itemText(254), QStringLiteral("255"));
    EXPECT_EQ(address->itemData(254).toUInt(), 255u);

    // The outgoing frame starts FA 09 01 00.
    const TxFrame::Bytes frame = m_dlg->TxFrameBytes().Snapshot();
    EXPECT_EQ(frame[0], 0xFA);
    EXPECT_EQ(frame[1], 0x09);
    EXPECT_EQ(frame[2], 0x01);
    EXPECT_EQ(frame[3], 0x00);

    // Screen readers find the unlabelled controls by the names around them.
    EXPECT_EQ(C(IDC_DEVICE_LIST)->accessibleName(), QStringLiteral("设备列表"));
    EXPECT_EQ(C(IDC_LOG)->accessibleName(), QStringLiteral("信息接收"));
    EXPECT_EQ(C(IDC_STATUS_LIST)->accessibleName(), QStringLiteral("状态"));
    EXPECT_EQ(C(IDC_PORT)->accessibleName(), QStringLiteral("串口"));
    EXPECT_EQ(C(IDC_ADDRESS)->accessibleName(), QStringLiteral("设备地址分配"));
}

TEST_F(MainDialogTest, PortListIsSortedByNameAndCarriesTheEngineNumbers) {
    PseudoTerminal zeta, alpha, beta10, beta2;
    zeta.Publish("zeta");
    alpha.Publish("Alpha");
    beta10.Publish("beta10");
    beta2.Publish("beta2");
    CRavlinDlg dlg;
    dlg.Create();
    auto* ports = Control<QComboBox>(&dlg, IDC_PORT);
    ASSERT_EQ(static_cast<std::size_t>(ports->count()), dlg.Port().Ports().size());
    for (int i = 1; i < ports->count(); ++i) {
        EXPECT_LE(QString::compare(ports->itemText(i - 1), ports->itemText(i), Qt::CaseInsensitive),
                  0);
    }
    for (const SerialPortEntry& entry : dlg.Port().Ports()) {
        const int at = ports->findText(QString::fromStdString(entry.name));
        ASSERT_GE(at, 0);
        EXPECT_EQ(ports->itemData(at).toUInt(), entry.number);
    }
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_LT(ports->findText("Alpha"), ports->findText("beta10"));
    EXPECT_LT(ports->findText("beta10"), ports->findText("beta2"));
}

TEST_F(MainDialogTest, PagesLiveInTheTabControlAndFollowTheTabs) {
    QtTabControl* tab = m_dlg->TabControl();
    ASSERT_EQ(tab->GetItemCount(), 3);
    EXPECT_EQ(tab->TabBar()->tabText(0), QStringLiteral("TARVO"));
    EXPECT_EQ(tab->TabBar()->tabText(1), QStringLiteral("MIRELL"));
    EXPECT_EQ(tab->TabBar()->tabText(2), QStringLiteral("OSKAN"));
    EXPECT_EQ(tab->GetCurSel(), 0);
    for (CDialog* page :
         {static_cast<CDialog*>(&m_dlg->TarvoPage()), static_cast<CDialog*>(&m_dlg->MirellPage()),
          static_cast<CDialog*>(&m_dlg->OskanPage())}) {
        EXPECT_EQ(page->parentWidget(), tab);
        EXPECT_EQ(CPageHost::Of(page), static_cast<CPageHost*>(m_dlg.get()));
        EXPECT_EQ(page->geometry(), tab->PageRect());
        EXPECT_FALSE(page->isWindow());
    }
    const QRect client = tab->rect();
    EXPECT_EQ(tab->PageRect().left(), client.left() + 2);
    EXPECT_EQ(tab->PageRect().right(), client.right() - 2);
    EXPECT_EQ(tab->PageRect().bottom(), client.bottom() - 2);
    EXPECT_GE(tab->PageRect().top(), client.top() + 22);

    EXPECT_TRUE(m_dlg->TarvoPage().isVisible());
    EXPECT_FALSE(m_dlg->MirellPage().isVisible());
    EXPECT_FALSE(m_dlg->OskanPage().isVisible());

    struct Step {
        int tab;
        std::uint8_t type;
        CDialog* shown;
    };
    for (const Step& step : {Step{1, 8, &m_dlg->MirellPage()}, Step{2, 6, &m_dlg->OskanPage()},
                             Step{0, 9, &m_dlg->TarvoPage()}, Step{2, 6, &m_dlg->OskanPage()},
                             Step{1, 8, &m_dlg->MirellPage()}}) {
        AddDevices();
        ClickTab(step.tab);
        EXPECT_EQ(tab->GetCurSel(), step.tab);
        EXPECT_EQ(C<QListWidget>(IDC_DEVICE_LIST)->count(), 0) << "tab " << step.tab;
        EXPECT_EQ(m_dlg->TxFrameBytes().Snapshot()[1], step.type);
        EXPECT_TRUE(step.shown->isVisible());
        EXPECT_EQ(m_dlg->TarvoPage().isVisible(), step.tab == 0);
        EXPECT_EQ(m_dlg->MirellPage().isVisible(), step.tab == 1);
        EXPECT_EQ(m_dlg->OskanPage().isVisible(), step.tab == 2);
        // "自动分配" on the TARVO tab, the address "写入" in its place on the others; button 1
        // follows the tab alone, also while the port is closed.
        EXPECT_EQ(C(IDC_AUTO_ASSIGN)->isVisible(), step.tab == 0);
        EXPECT_EQ(C(IDC_WRITE_ADDRESS)->isVisible(), step.tab != 0);
        EXPECT_EQ(C(IDC_WRITE_ADDRESS)->geometry(), C(IDC_AUTO_ASSIGN)->geometry());
        EXPECT_EQ(C(IDOK)->isEnabled(), step.tab == 0);
        EXPECT_FALSE(C(IDC_AUTO_ASSIGN)->isEnabled());
        EXPECT_FALSE(C(IDC_WRITE_ADDRESS)->isEnabled());
    }
}

TEST_F(MainDialogTest, PagesKeepEnterAndEscapeToThemselves) {
    m_dlg->activateWindow();
    QWidget* edit = m_dlg->TarvoPage().GetDlgItem(IDC_LONG_PRESS_MS);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_TRUE(m_dlg->TarvoPage().isVisible());
    // Enter on the dialog itself presses the default button "写入" only when it can be pressed.
    QTest::keyClick(m_dlg.get(), Qt::Key_Return);
    EXPECT_TRUE(m_dlg->isVisible());
}

// Closes the modal About box once it shows, after noting what it shows.
struct AboutBoxProbe {
    QString caption;
    QStringList labels;
    QString okText;
    bool hadIcon = false;

    void CloseWhenShown() {
        QTimer::singleShot(20, [this] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || box->windowTitle() != QStringLiteral("关于 Ravlin")) {
                CloseWhenShown();
                return;
            }
            caption = box->windowTitle();
            for (QLabel* label : box->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    labels << label->text();
                }
                hadIcon = hadIcon || !label->pixmap().isNull();
            }
            auto* ok = Control<QPushButton>(box, IDOK);
            okText = ok ? ok->text() : QString();
            Click(ok);
        });
    }
};

TEST_F(MainDialogTest, AboutBoxOpensModallyFromF1AndFromTheContextMenu) {
    AboutBoxProbe probe;
    probe.CloseWhenShown();
    QTest::keyClick(m_dlg.get(), Qt::Key_F1);  // returns once the box was closed
    EXPECT_EQ(probe.caption, QStringLiteral("关于 Ravlin"));
    EXPECT_TRUE(probe.labels.contains(QStringLiteral("Ravlin，1.0 版")));
    EXPECT_EQ(probe.labels.size(), 2);
    EXPECT_TRUE(probe.hadIcon);
    EXPECT_EQ(probe.okText, QStringLiteral("确定"));
    EXPECT_TRUE(m_dlg->isVisible());

    AboutBoxProbe second;
    QString entry;
    QTimer::singleShot(20, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_FALSE(menu->actions().isEmpty());
        QAction* about = menu->actions().last();
        entry = about->text();
        second.CloseWhenShown();
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(about).center());
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_dlg->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dlg.get(), &event);
    EXPECT_EQ(entry, QStringLiteral("关于 Ravlin(&A)..."));
    EXPECT_EQ(second.caption, QStringLiteral("关于 Ravlin"));
}

TEST_F(MainDialogTest, ContextMenuEndsWithASeparatorAndAbout) {
    // The menu owns its actions and is gone once the event returns: read them while it is open.
    QList<bool> separators;
    QStringList texts;
    QTimer::singleShot(20, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            separators.append(action->isSeparator());
            texts.append(action->text());
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_dlg->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dlg.get(), &event);
    ASSERT_GE(separators.size(), 2);
    EXPECT_TRUE(separators[separators.size() - 2]);
    EXPECT_EQ(texts.last(), QStringLiteral("关于 Ravlin(&A)..."));
}

// A single-selection list as the platform's: Ctrl with a click or Space on the selected line
// leaves it selected.
TEST_F(MainDialogTest, CtrlClickOrCtrlSpaceOnTheSelectedDeviceKeepsItSelected) {
    AddDevices();
    auto* list = C<QListWidget>(IDC_DEVICE_LIST);
    const QPoint row = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row);
    ASSERT_EQ(m_dlg->DeviceListCurSel(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, row);
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 1);
    QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 1);
    // Ctrl+click on another line still selects that one.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 0);
}

TEST_F(MainDialogTest, MakerLinkShowsTheMakerAndLeadsToItsPage) {
    auto* link = C<QLabel>(IDC_MAKER_LINK);
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->text().contains(QStringLiteral("Quillmere Systems")));
    EXPECT_EQ(link->accessibleName(), QStringLiteral("Quillmere Systems"));
    EXPECT_EQ(link->property("url").toString(), QString::fromUtf8(kMakerUrl));
    EXPECT_TRUE(QString::fromUtf8(kMakerUrl).startsWith(QStringLiteral("https://example.org/")));
}

TEST_F(MainDialogTest, ExitButtonEscapeAndTheCloseCommandEachEndTheDialog) {
    Click(C(IDCANCEL));
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), IDCANCEL);

    m_dlg = std::make_unique<CRavlinDlg>();
    m_dlg->Create();
    m_dlg->show();
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), IDCANCEL);

    m_dlg = std::make_unique<CRavlinDlg>();
    m_dlg->Create();
    m_dlg->show();
    m_dlg->close();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), IDCANCEL);
}

TEST_F(MainDialogTest, ScreenshotOfTheMainWindow) {
    m_dlg->Log().Append(0xFA);
    m_dlg->Log().Flush();
    const QString path = qEnvironmentVariable("RAVLIN_SCREENSHOT_DIR", QStringLiteral(".")) +
                         QStringLiteral("/main-window.png");
    EXPECT_TRUE(m_dlg->grab().save(path));
    // The other tabs, for a look at the pages in place.
    for (int tab : {1, 2}) {
        ClickTab(tab);
        EXPECT_TRUE(m_dlg->grab().save(
            QStringLiteral("%1/main-window-tab%2.png")
                .arg(qEnvironmentVariable("RAVLIN_SCREENSHOT_DIR", QStringLiteral(".")))
                .arg(tab)));
    }
    ClickTab(0);
    // Every control lies inside the window.
    for (QWidget* child : m_dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property(kControlIdProperty).isValid()) {
            EXPECT_TRUE(m_dlg->rect().contains(child->geometry()))
                << child->property(kControlIdProperty).toInt();
        }
    }
}

}  // namespace
