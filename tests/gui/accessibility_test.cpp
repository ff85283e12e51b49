// What a screen reader finds in the main dialog, read through the accessibility interfaces the
// toolkit gives it: every enabled control on every page has a name and a role a reader knows,
// controls that share a name are told apart, the switches and the link are what they look like,
// and the keyboard reaches the switches after their page's other controls.

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <map>
#include <set>

#include "app/ravlin_dlg.h"
#include "controls/switch_btn.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "main_dialog_fixture.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

// The roles of the controls this dialog has, all of which readers announce.
const std::set<QAccessible::Role> kControlRoles = {
    QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
    QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::List,
    QAccessible::ListItem,   QAccessible::PageTabList,  QAccessible::PageTab,
    QAccessible::Link,       QAccessible::StaticText,   QAccessible::ScrollBar,
};

struct Found {
    QAccessibleInterface* face;
    QWidget* widget;
};

// The interfaces of the visible, enabled controls that take the focus, depth first.
void CollectControls(QAccessibleInterface* face, std::vector<Found>& out) {
    if (face == nullptr || face->state().invisible) {
        return;
    }
    auto* widget = qobject_cast<QWidget*>(face->object());
    if (widget != nullptr && !face->state().disabled &&
        (face->state().focusable || face->role() == QAccessible::Link)) {
        out.push_back({face, widget});
    }
    for (int i = 0; i < face->childCount(); ++i) {
        CollectControls(face->child(i), out);
    }
}

class AccessibilityTest : public MainDialogFixture {
protected:
    // Two found devices, the first selected, so that the page's controls are enabled.
    void SelectDevice() {
        QListWidget* list = DeviceList(*m_dlg);
        for (const char* address : {"5", "7"}) {
            auto* item = new QListWidgetItem(QString::fromUtf8(address), list);
            item->setData(Qt::UserRole, QString::fromUtf8(address).toUInt());
        }
        ClickRow(list, 0);
    }

    std::vector<Found> Controls() {
        std::vector<Found> found;
        CollectControls(QAccessible::queryAccessibleInterface(m_dlg.get()), found);
        return found;
    }
};

TEST_F(AccessibilityTest, EveryEnabledControlOnEveryPageHasANameARoleAndNoTwin) {
    for (int tab = 0; tab < 3; ++tab) {
        ClickTab(*m_dlg, tab);
        SelectDevice();
        const std::vector<Found> controls = Controls();
        ASSERT_GT(controls.size(), 12u) << "tab " << tab;
        std::map<std::pair<QString, QString>, int> seen;
        for (const Found& c : controls) {
            const QVariant id = c.widget->property("controlId");
            const std::string where = "tab " + std::to_string(tab) + ", control " +
                                      id.toString().toStdString() + " " +
                                      c.widget->metaObject()->className();
            EXPECT_FALSE(c.face->text(QAccessible::Name).trimmed().isEmpty()) << where;
            EXPECT_TRUE(kControlRoles.count(c.face->role()) != 0)
                << where << " has role " << c.face->role();
            // Rows and scroll bars belong to their list; the numbered controls are compared.
            if (id.isValid()) {
                const auto key =
                    std::pair{c.widget->accessibleName(), c.widget->accessibleDescription()};
                EXPECT_EQ(++seen[key], 1)
                    << where << " shares its name and description: " << key.first.toStdString();
            }
        }
    }
}

TEST_F(AccessibilityTest, CodeEditsAndHexBoxesFollowTheCaptionsOfTheirGroups) {
    CTarvoDlg& page = m_dlg->TarvoPage();
    const auto name = [&](int id) { return FindControl(&page, id)->accessibleName(); };
    const auto description = [&](int id) {
        return FindControl(&page, id)->accessibleDescription();
    };
    // The page starts in short/long mode.
    EXPECT_EQ(name(IDC_PRESS_CODES), QStringLiteral("短按功能码"));
    EXPECT_EQ(name(IDC_RELEASE_CODES), QStringLiteral("长按功能码"));
    EXPECT_EQ(name(IDC_PRESS_HEX), QStringLiteral("16进制"));
    EXPECT_EQ(description(IDC_PRESS_HEX), QStringLiteral("短按功能码"));
    EXPECT_EQ(description(IDC_RELEASE_HEX), QStringLiteral("长按功能码"));
    EXPECT_EQ(description(IDC_LED1), QStringLiteral("LED1 测试"));
    EXPECT_EQ(description(IDC_LED2), QStringLiteral("LED2 测试"));

    Click(FindControl(&page, IDC_MODE_PRESS_RELEASE));
    EXPECT_EQ(name(IDC_PRESS_CODES), QStringLiteral("按下功能码"));
    EXPECT_EQ(name(IDC_RELEASE_CODES), QStringLiteral("弹起功能码"));
    EXPECT_EQ(description(IDC_RELEASE_HEX), QStringLiteral("弹起功能码"));

    CMirellDlg& mirell = m_dlg->MirellPage();
    EXPECT_EQ(FindControl(&mirell, IDC_SCREEN_STOP)->accessibleName(), QStringLiteral("STOP"));
    EXPECT_EQ(FindControl(&mirell, IDC_SCREEN_STOP)->accessibleDescription(),
              QStringLiteral("SCREEN"));
    EXPECT_EQ(FindControl(&mirell, IDC_LIFTER_STOP)->accessibleDescription(),
              QStringLiteral("LIFTER"));
}

TEST_F(AccessibilityTest, MakerLinkIsALinkWhosePressActionFollowsIt) {
    auto* link = qobject_cast<QLabel*>(FindControl(m_dlg.get(), IDC_MAKER_LINK));
    ASSERT_NE(link, nullptr);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(link);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Link);
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Quillmere Systems"));
    QAccessibleActionInterface* actions = face->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    // The dialog opens the maker's page on linkActivated; the signal is what is checked here,
    // so that no browser starts.
    QSignalSpy activated(link, &QLabel::linkActivated);
    QObject::disconnect(link, SIGNAL(linkActivated(QString)), m_dlg.get(), nullptr);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(activated.count(), 1);
}

TEST_F(AccessibilityTest, TabReachesTheSwitchesAfterThePagesOtherControlsAndSpaceMovesThem) {
    ClickTab(*m_dlg, 2);
    SelectDevice();
    COskanDlg& page = m_dlg->OskanPage();
    QWidget* feedback = FindControl(&page, IDC_FEEDBACK);
    feedback->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitFor([&] { return feedback->hasFocus(); }, 2000));
    for (int k = 0; k < 8; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        CSwitchBtn* sw = test_support::Switch(&page, IDC_SW_CH1 + k);
        ASSERT_EQ(QApplication::focusWidget(), sw) << "channel " << k + 1;
    }
    CSwitchBtn* last = test_support::Switch(&page, IDC_SW_CH1 + 7);
    QTest::keyClick(last, Qt::Key_Space);
    EXPECT_EQ(last->m_state, 1);
    EXPECT_TRUE(WaitFor([&] { return !last->Sliding() && last->m_animatePending == 0; }, 3000));
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // Without a selected device the switches are disabled and Tab never lands on one.
    ClickTab(*m_dlg, 1);
    ClickTab(*m_dlg, 2);
    EXPECT_FALSE(last->isEnabled());
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(qobject_cast<CSwitchBtn*>(QApplication::focusWidget()), nullptr) << i;
    }
}

}  // namespace
