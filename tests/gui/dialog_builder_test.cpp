// The template builder: every item of every template becomes a widget at its converted
// rectangle, with its number, text, state and accessible name; dialog units follow the font;
// frames never take clicks from the controls they surround.

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "gui_test_support.h"
#include "platform/qt_dialog.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

QString TextOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        return b->text();
    }
    if (auto* g = qobject_cast<const QGroupBox*>(w)) {
        return g->title();
    }
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        return l->text();
    }
    return QString();
}

class TemplateTest : public ::testing::TestWithParam<int> {};

TEST_P(TemplateTest, EveryItemIsBuiltAsTheTemplateSays) {
    const DialogTemplate* t = FindDialogTemplate(GetParam());
    ASSERT_NE(t, nullptr);
    QWidget dialog;
    const auto controls = BuildDialogTemplate(&dialog, *t);
    const DialogUnits units = DialogUnits::Of(dialog.font());
    EXPECT_EQ(dialog.size(), QSize(units.X(t->cx), units.Y(t->cy)));

    const auto children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(static_cast<std::size_t>(children.size()), t->items.size());
    std::vector<QWidget*> byIndex(t->items.size());
    for (QWidget* child : children) {
        byIndex.at(child->property("templateIndex").toUInt()) = child;
    }
    for (std::size_t i = 0; i < t->items.size(); ++i) {
        const DialogItem& item = t->items[i];
        QWidget* w = byIndex[i];
        ASSERT_NE(w, nullptr) << i;
        const QRect want = units.Map(item.rect);
        EXPECT_EQ(w->pos(), want.topLeft()) << item.id << " " << item.text;
        EXPECT_EQ(w->width(), want.width()) << item.id;
        if (item.kind != ItemKind::ComboList && item.rect.cy > 1) {
            EXPECT_EQ(w->height(), want.height()) << item.id;
        }
        EXPECT_EQ(w->isHidden(), (item.style & ItemStyle::Hidden) != 0) << item.id;
        EXPECT_EQ(w->isEnabled(), (item.style & ItemStyle::Disabled) == 0) << item.id;
        if (item.kind == ItemKind::Link) {
            EXPECT_TRUE(TextOf(w).contains(QString::fromUtf8(item.text)));
        } else if (*item.text) {
            EXPECT_EQ(TextOf(w), QString::fromUtf8(item.text)) << item.id;
        }
        if (item.id == IDC_STATIC) {
            EXPECT_FALSE(w->property(kControlIdProperty).isValid());
        } else {
            EXPECT_EQ(w->property(kControlIdProperty).toInt(), item.id);
            EXPECT_EQ(FindControl(&dialog, item.id), w);
            EXPECT_EQ(controls.at(item.id), w);
            if (item.id != IDC_UNUSED_TEXT) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << item.id;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, TemplateTest,
                         ::testing::Values(IDD_ABOUTBOX, IDD_RAVLIN_DIALOG, IDD_TARVO, IDD_MIRELL,
                                           IDD_OSKAN));

TEST(DialogBuilder, PageControlsAreNamedByTheirLabelOrFrame) {
    EXPECT_EQ(FindDialogTemplate(IDD_TARVO)->items.size(), 26u);
    EXPECT_EQ(FindDialogTemplate(IDD_MIRELL)->items.size(), 22u);
    EXPECT_EQ(FindDialogTemplate(IDD_OSKAN)->items.size(), 3u);
    QWidget tarvo;
    BuildDialogTemplate(&tarvo, *FindDialogTemplate(IDD_TARVO));
    EXPECT_EQ(FindControl(&tarvo, IDC_LONG_PRESS_MS)->accessibleName(),
              QStringLiteral("长按时间(ms)"));
    EXPECT_EQ(FindControl(&tarvo, IDC_PRESS_CODES)->accessibleName(), QStringLiteral("按下功能码"));
    EXPECT_EQ(FindControl(&tarvo, IDC_RELEASE_CODES)->accessibleName(),
              QStringLiteral("弹起功能码"));
    EXPECT_EQ(FindControl(&tarvo, IDC_DEV_PARITY)->accessibleName(), QStringLiteral("校验"));
}

TEST(DialogBuilder, DialogUnitsFollowTheFontAndTheShellFontHasChineseGlyphs) {
    const QFont font = DialogFont("MS Shell Dlg", 9);
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_TRUE(QFontInfo(font).family().contains(QStringLiteral("CJK")))
        << QFontInfo(font).family().toStdString();
    EXPECT_TRUE(QFontMetrics(font).inFont(QChar(0x4E32)));  // 串

    const DialogUnits small = DialogUnits::Of(DialogFont("MS Shell Dlg", 8));
    const DialogUnits large = DialogUnits::Of(DialogFont("MS Shell Dlg", 16));
    EXPECT_GT(large.baseX, small.baseX);
    EXPECT_GT(large.baseY, small.baseY);
    EXPECT_EQ(small.Y(8), small.baseY);  // eight vertical units are one line
    EXPECT_EQ(small.X(4), small.baseX);  // four horizontal units are one average character
}

TEST(DialogBuilder, FramesDrawnOverAControlDoNotTakeItsClicks) {
    // In the MIRELL template the outer frame comes after the buttons it surrounds.
    CDialog page(IDD_MIRELL);
    page.Create();
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    auto* stop = qobject_cast<QPushButton*>(page.GetDlgItem(IDC_SCREEN_STOP));
    ASSERT_NE(stop, nullptr);
    QSignalSpy clicks(stop, &QPushButton::clicked);
    // Clicked on the window where the button shows, so the click goes to whatever is on top.
    QTest::mouseClick(page.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      stop->geometry().center());
    EXPECT_EQ(clicks.count(), 1);
}

TEST(DialogBuilder, SortedComboKeepsCaseInsensitiveOrderAndItemData) {
    QWidget dialog;
    BuildDialogTemplate(&dialog, *FindDialogTemplate(IDD_RAVLIN_DIALOG));
    auto* sorted = Control<QComboBox>(&dialog, IDC_PORT);
    auto* plain = Control<QComboBox>(&dialog, IDC_BAUD);
    for (const char* name : {"ttyUSB0", "bus-b", "ttyS10", "Bus-a", "ttyS2"}) {
        AddComboString(sorted, QString::fromUtf8(name), QString::fromUtf8(name).size());
        AddComboString(plain, QString::fromUtf8(name), 0);
    }
    QStringList order;
    for (int i = 0; i < sorted->count(); ++i) {
        order << sorted->itemText(i);
        EXPECT_EQ(sorted->itemData(i).toInt(), sorted->itemText(i).size());
    }
    EXPECT_EQ(order, (QStringList{"Bus-a", "bus-b", "ttyS10", "ttyS2", "ttyUSB0"}));
    EXPECT_EQ(plain->itemText(0), QStringLiteral("ttyUSB0"));
}

}  // namespace
