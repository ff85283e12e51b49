// The list box against the plain list view it stands in for: twin lists, one of each, set up
// as the dialog builder and the main dialog set up theirs, fed the same lines and driven by
// the same clicks, keys and scrolls. Everything a user sees or a screen reader reads must come
// out the same: pixels, scroll bar, where each line is, which line is under a point, which
// line the keys reach.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <memory>

#include "gui_test_support.h"
#include "platform/qt_list_box.h"

using namespace gui_test;

namespace {

QString Line(int i) {
    // Status-like lines of different widths: short, Chinese, and wider than the list.
    switch (i % 4) {
        case 0:
            return QString::number(i % 250 + 1);
        case 1:
            return QString::fromUtf8("发现设备,地址:%1").arg(i % 250 + 1);
        case 2:
            return QString::fromUtf8("设备地址写入成功,请检查设备的指示灯是否闪烁 %1").arg(i);
        default:
            return QString::fromUtf8("正在搜索设备...");
    }
}

void SetUpLikeTheDialog(QListWidget* list) {
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setUniformItemSizes(true);
    QFont font = list->font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    list->setFont(font);
    list->resize(165, 160);
    list->show();
}

class ListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_plain = std::make_unique<QListWidget>();
        m_box = std::make_unique<QtListBox>();
        for (QListWidget* list : Lists()) {
            SetUpLikeTheDialog(list);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
        }
    }

    std::array<QListWidget*, 2> Lists() { return {m_plain.get(), m_box.get()}; }

    void Add(int from, int count) {
        for (QListWidget* list : Lists()) {
            for (int i = from; i < from + count; ++i) {
                list->addItem(Line(i));
            }
        }
        QApplication::processEvents();
    }

    void DropFront(int count) {
        for (QListWidget* list : Lists()) {
            for (int i = 0; i < count; ++i) {
                delete list->takeItem(0);
            }
        }
        QApplication::processEvents();
    }

    void ScrollTo(int row, QAbstractItemView::ScrollHint hint) {
        for (QListWidget* list : Lists()) {
            list->scrollTo(list->model()->index(row, 0), hint);
        }
        QApplication::processEvents();
    }

    // The scroll bar, the lines' rectangles at both ends and around the top, and what is
    // under points of the viewport, side by side.
    void ExpectSameLayout(const char* where) {
        SCOPED_TRACE(where);
        QScrollBar* a = m_plain->verticalScrollBar();
        QScrollBar* b = m_box->verticalScrollBar();
        EXPECT_EQ(a->minimum(), b->minimum());
        EXPECT_EQ(a->maximum(), b->maximum());
        EXPECT_EQ(a->pageStep(), b->pageStep());
        EXPECT_EQ(a->value(), b->value());
        EXPECT_EQ(a->isVisible(), b->isVisible());
        EXPECT_EQ(m_plain->viewport()->size(), m_box->viewport()->size());
        const int n = m_plain->count();
        for (int row : {0, 1, a->value(), a->value() + 1, n / 2, n - 2, n - 1}) {
            if (row >= 0 && row < n) {
                EXPECT_EQ(m_plain->visualItemRect(m_plain->item(row)),
                          m_box->visualItemRect(m_box->item(row)))
                    << "row " << row;
            }
        }
        const QSize size = m_plain->viewport()->size();
        for (const QPoint p :
             {QPoint(0, 0), QPoint(-1, 3), QPoint(size.width() - 1, 13), QPoint(size.width(), 14),
              QPoint(size.width() + 40, 20), QPoint(5, size.height() / 2),
              QPoint(5, size.height() - 1), QPoint(5, size.height() + 30), QPoint(5, -2)}) {
            EXPECT_EQ(m_plain->indexAt(p).row(), m_box->indexAt(p).row())
                << "at " << p.x() << "," << p.y();
        }
    }

    void ExpectSamePixels(const char* where) {
        SCOPED_TRACE(where);
        QApplication::processEvents();
        const QImage a = m_plain->grab().toImage();
        const QImage b = m_box->grab().toImage();
        EXPECT_EQ(a, b);
    }

    std::unique_ptr<QListWidget> m_plain;
    std::unique_ptr<QtListBox> m_box;
};

TEST_F(ListBoxTest, LooksAndLaysOutAsThePlainListAtBothEndsOfALongList) {
    ExpectSameLayout("empty");
    ExpectSamePixels("empty");
    Add(0, 1);
    ExpectSameLayout("one line");
    ExpectSamePixels("one line");
    Add(1, 9);
    ExpectSameLayout("all lines fit");
    Add(10, 2990);
    ExpectSameLayout("3,000 lines, at the top");
    ExpectSamePixels("3,000 lines, at the top");
    // The main dialog's rule: the last line becomes the top visible line, as far as the
    // list can scroll.
    ScrollTo(m_plain->count() - 1, QAbstractItemView::PositionAtTop);
    ExpectSameLayout("scrolled to the last line");
    ExpectSamePixels("scrolled to the last line");
    EXPECT_EQ(m_box->verticalScrollBar()->value(), m_box->verticalScrollBar()->maximum());
    // The oldest lines go while the view stays at the end, as on a busy bus.
    DropFront(500);
    Add(3000, 1);
    ScrollTo(m_plain->count() - 1, QAbstractItemView::PositionAtTop);
    ExpectSameLayout("front lines dropped");
    ExpectSamePixels("front lines dropped");
    // The last line measured wider than the list widens every line's rectangle.
    Add(3002, 1);
    ExpectSameLayout("a wide last line");
    for (const auto hint :
         {QAbstractItemView::EnsureVisible, QAbstractItemView::PositionAtCenter,
          QAbstractItemView::PositionAtBottom, QAbstractItemView::PositionAtTop}) {
        for (int row : {0, 3, 700, 1200, m_plain->count() - 1}) {
            ScrollTo(row, hint);
            ExpectSameLayout("scrolled to a line");
        }
    }
    ExpectSamePixels("after scrolling around");
    for (QListWidget* list : Lists()) {
        list->resize(165, 13);  // Less than a line high.
    }
    QApplication::processEvents();
    ExpectSameLayout("less than a line high");
    for (QListWidget* list : Lists()) {
        list->resize(200, 300);
    }
    QApplication::processEvents();
    ExpectSameLayout("resized");
    ExpectSamePixels("resized");
}

TEST_F(ListBoxTest, ClicksAndKeysReachTheSameLinesAfterTheFrontLinesWent) {
    Add(0, 400);
    DropFront(150);
    ScrollTo(m_plain->count() - 1, QAbstractItemView::PositionAtTop);
    for (QListWidget* list : Lists()) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 3));
    }
    EXPECT_EQ(m_box->currentRow(), m_plain->currentRow());
    // The list scrolled as far as it can: the line at the top is the one the scroll bar is at.
    EXPECT_EQ(m_box->currentRow(), m_box->verticalScrollBar()->value());
    ASSERT_EQ(m_box->selectedItems().size(), 1);
    EXPECT_EQ(m_box->selectedItems().front(), m_box->currentItem());

    ScrollTo(0, QAbstractItemView::PositionAtTop);
    for (QListWidget* list : Lists()) {
        // Below the last visible line's middle, and past the end of the lines.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(30, 100));
    }
    EXPECT_EQ(m_box->currentRow(), m_plain->currentRow());
    EXPECT_EQ(m_box->currentRow(), 100 / m_box->visualItemRect(m_box->item(0)).height());
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Up,
                              Qt::Key_End, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_Up,
                              Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Left, Qt::Key_PageDown}) {
        for (QListWidget* list : Lists()) {
            QTest::keyClick(list, key);
        }
        QApplication::processEvents();
        EXPECT_EQ(m_box->currentRow(), m_plain->currentRow()) << "key " << key;
        EXPECT_EQ(m_box->selectedItems(), QList<QListWidgetItem*>{m_box->currentItem()});
        ExpectSameLayout("after a key");
    }
    for (QListWidget* list : Lists()) {
        list->clearFocus();
    }
    ExpectSamePixels("a selected line");

    // A double click on a line reports that line.
    QListWidgetItem* doubled = nullptr;
    QObject::connect(m_box.get(), &QListWidget::itemDoubleClicked,
                     [&](QListWidgetItem* item) { doubled = item; });
    const QRect third = m_box->visualItemRect(m_box->item(m_box->verticalScrollBar()->value() + 2));
    QTest::mouseClick(m_box->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(m_box->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(doubled, m_box->item(m_box->verticalScrollBar()->value() + 2));
}

TEST_F(ListBoxTest, AScreenReaderFindsTheSameLinesWhereTheyAre) {
    Add(0, 600);
    DropFront(100);
    ScrollTo(m_plain->count() - 1, QAbstractItemView::PositionAtTop);
    ScrollTo(420, QAbstractItemView::PositionAtCenter);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(m_plain.get());
    QAccessibleInterface* b = QAccessible::queryAccessibleInterface(m_box.get());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->role(), b->role());
    ASSERT_EQ(a->childCount(), b->childCount());
    m_box->setCurrentRow(421);
    m_plain->setCurrentRow(421);
    for (int i : {0, 1, 415, 420, 421, 430, a->childCount() - 1}) {
        QAccessibleInterface* ca = a->child(i);
        QAccessibleInterface* cb = b->child(i);
        ASSERT_NE(ca, nullptr);
        ASSERT_NE(cb, nullptr);
        EXPECT_EQ(ca->text(QAccessible::Name), cb->text(QAccessible::Name)) << i;
        EXPECT_EQ(ca->role(), cb->role()) << i;
        EXPECT_EQ(ca->rect().size(), cb->rect().size()) << i;
        EXPECT_EQ(ca->rect().topLeft() - m_plain->mapToGlobal(QPoint()),
                  cb->rect().topLeft() - m_box->mapToGlobal(QPoint()))
            << i;
        EXPECT_EQ(ca->state().invisible, cb->state().invisible) << i;
        EXPECT_EQ(ca->state().selected, cb->state().selected) << i;
    }
    // The line under a point of the screen.
    const QRect line = m_box->visualItemRect(m_box->item(424));
    QAccessibleInterface* hit = b->childAt(m_box->viewport()->mapToGlobal(line.center()).x(),
                                           m_box->viewport()->mapToGlobal(line.center()).y());
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->text(QAccessible::Name), m_box->item(424)->text());
}

}  // namespace
