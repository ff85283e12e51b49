#include "platform/qt_list_box.h"

#include <QAbstractItemDelegate>
#include <QAccessible>
#include <QEvent>
#include <QHoverEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <algorithm>

QtListBox::QtListBox(QWidget* parent) : QListWidget(parent) {
    // A list box's lines are one line of text each, all of one height.
    setUniformItemSizes(true);
    // The view's own slot for removed rows has run when this one runs: the lines are gone.
    connect(model(), &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex& parent, int, int) {
                if (!parent.isValid()) {
                    rowsRemovedFromModel();
                }
            });
}

bool QtListBox::FixedRows() const {
    const bool fixed = viewMode() == ListMode && flow() == TopToBottom && !isWrapping() &&
                       uniformItemSizes() && spacing() == 0 && !gridSize().isValid() &&
                       verticalScrollMode() == ScrollPerItem && modelColumn() == 0 &&
                       isLeftToRight();
    if (fixed != m_fixedLast) {
        // The other layout's state is out of date: it is made again before it is used.
        m_fixedLast = fixed;
        m_lineSizeDue = true;
        m_lineHeightDue = true;
        const_cast<QtListBox*>(this)->scheduleDelayedItemsLayout();
    }
    return fixed;
}

int QtListBox::Rows() const {
    return model()->rowCount(rootIndex());
}

QSize QtListBox::LineSize() const {
    if (m_lineSizeDue) {
        const int rows = Rows();
        // The last line stands for all, as it does for the plain list view.
        m_lineSize =
            rows > 0 ? sizeHintForIndex(model()->index(rows - 1, 0, rootIndex())) : QSize();
        m_lineSizeDue = false;
        if (m_lineSize.height() > 0) {
            m_lineHeight = m_lineSize.height();
            m_lineHeightDue = false;
        }
    }
    return m_lineSize;
}

int QtListBox::LineHeight() const {
    // Every line is one line of text in the list's font: the height is measured again only
    // when the list is laid out afresh (font, style, a new set of lines), not for each line.
    if (m_lineHeightDue && Rows() > 0) {
        m_lineSizeDue = true;
        LineSize();
    }
    return m_lineHeightDue ? 0 : m_lineHeight;
}

int QtListBox::TopRow() const {
    return verticalScrollBar()->value();
}

int QtListBox::PageRows() const {
    const int height = std::max(LineHeight(), 1);
    const int rows = Rows();
    // All lines fit: the page is one more than the lines, and there is nothing to scroll.
    if (rows * height <= viewport()->height()) {
        return rows + 1;
    }
    return viewport()->height() / height;
}

int QtListBox::RowAtY(int y) const {
    const int height = LineHeight();
    if (height <= 0) {
        return -1;
    }
    const int contentY = y + verticalOffset();
    if (contentY < 0) {
        return -1;
    }
    const int row = contentY / height;
    return row < Rows() ? row : -1;
}

QRect QtListBox::RowRect(int row) const {
    const int width = std::max(LineSize().width(), viewport()->width());
    const int height = LineHeight();
    return QRect(-horizontalOffset(), row * height - verticalOffset(), width, height);
}

void QtListBox::LinesChanged() {
    m_lineSizeDue = true;
}

void QtListBox::LayOutIfDue() const {
    const_cast<QtListBox*>(this)->executeDelayedItemsLayout();
}

QRect QtListBox::visualRect(const QModelIndex& index) const {
    if (!FixedRows()) {
        return QListWidget::visualRect(index);
    }
    LayOutIfDue();
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0 ||
        index.model() != model()) {
        return QRect();
    }
    return RowRect(index.row());
}

QModelIndex QtListBox::indexAt(const QPoint& point) const {
    if (!FixedRows()) {
        return QListWidget::indexAt(point);
    }
    LayOutIfDue();
    const int row = RowAtY(point.y());
    if (row < 0) {
        return QModelIndex();
    }
    const QRect rect = RowRect(row);
    if (point.x() < rect.left() || point.x() > rect.right()) {
        return QModelIndex();
    }
    return model()->index(row, 0, rootIndex());
}

void QtListBox::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!FixedRows()) {
        QListWidget::scrollTo(index, hint);
        return;
    }
    LayOutIfDue();
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0) {
        return;
    }
    const QRect rect = visualRect(index);
    if (!rect.isValid()) {
        return;
    }
    const QRect area = viewport()->rect();
    if (hint == EnsureVisible) {
        if (area.contains(rect)) {
            viewport()->update(rect);
            return;
        }
        if (rect.top() < area.top()) {
            hint = PositionAtTop;
        } else if (rect.bottom() > area.bottom()) {
            hint = PositionAtBottom;
        } else {
            return;  // Only too wide: a list box doesn't scroll sideways.
        }
    }
    const int row = index.row();
    // Lines that fit from this one upwards (at least this one).
    const int fit = std::clamp(area.height() / std::max(rect.height(), 1), 1, row + 1);
    int top = row;
    switch (hint) {
        case PositionAtBottom:
            top = row - fit + 1;
            break;
        case PositionAtCenter:
            top = row - fit / 2;
            break;
        default:
            break;
    }
    verticalScrollBar()->setValue(top);
}

void QtListBox::doItemsLayout() {
    if (!FixedRows()) {
        QListWidget::doItemsLayout();
        return;
    }
    LinesChanged();
    m_lineHeightDue = true;
    // Updates the scroll bars and repaints; nothing here depends on the number of lines.
    QAbstractItemView::doItemsLayout();
}

void QtListBox::rowsInserted(const QModelIndex& parent, int start, int end) {
    if (!FixedRows()) {
        QListWidget::rowsInserted(parent, start, end);
        return;
    }
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex()) {
        return;
    }
    LinesChanged();
    // The scroll bar and the viewport follow once, when the run of new lines is over (or
    // when something asks where a line is before that), as the plain list view lays out.
    scheduleDelayedItemsLayout();
}

void QtListBox::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    if (!FixedRows()) {
        QListWidget::rowsAboutToBeRemoved(parent, start, end);
        return;
    }
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    if (parent == rootIndex()) {
        LinesChanged();
    }
}

void QtListBox::rowsRemovedFromModel() {
    if (!FixedRows()) {
        return;
    }
    LinesChanged();
    scheduleDelayedItemsLayout();
}

void QtListBox::reset() {
    LinesChanged();
    m_lineHeightDue = true;
    QListWidget::reset();
}

void QtListBox::updateGeometries() {
    if (!FixedRows()) {
        QListWidget::updateGeometries();
        return;
    }
    QScrollBar* vbar = verticalScrollBar();
    const int rows = Rows();
    if (geometry().isEmpty() || rows <= 0) {
        horizontalScrollBar()->setRange(0, 0);
        vbar->setRange(0, 0);
    } else {
        const int page = PageRows();
        vbar->setSingleStep(1);
        vbar->setPageStep(page);
        vbar->setRange(0, std::max(rows - page, 0));
        // Lines are as wide as the viewport: there is nothing to scroll sideways.
        horizontalScrollBar()->setRange(0, 0);
    }
    QAbstractItemView::updateGeometries();
    // The scroll area shows or hides a scroll bar as needed only later; the plain list view
    // has it done at once, so that the viewport has its width before lines are placed.
    if (verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
        (vbar->maximum() > vbar->minimum()) != vbar->isVisible() && isVisible()) {
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
}

void QtListBox::scrollContentsBy(int dx, int dy) {
    if (!FixedRows()) {
        QListWidget::scrollContentsBy(dx, dy);
        return;
    }
    // The vertical scroll bar counts lines; the viewport moves by their height.
    QAbstractItemView::scrollContentsBy(dx, dy * LineHeight());
}

int QtListBox::horizontalOffset() const {
    if (!FixedRows()) {
        return QListWidget::horizontalOffset();
    }
    return horizontalScrollBar()->value();
}

int QtListBox::verticalOffset() const {
    if (!FixedRows()) {
        return QListWidget::verticalOffset();
    }
    return TopRow() * LineHeight();
}

void QtListBox::paintEvent(QPaintEvent* event) {
    if (!FixedRows()) {
        QListWidget::paintEvent(event);
        return;
    }
    LayOutIfDue();
    const int rows = Rows();
    const int height = LineHeight();
    if (rows <= 0 || height <= 0 || itemDelegate() == nullptr) {
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());

    const QRect area = event->rect();
    const int offset = verticalOffset();
    const int first = std::max((area.top() + offset) / height, 0);
    const int last = std::min((area.bottom() + offset) / height, rows - 1);

    const QModelIndex current = currentIndex();
    const QItemSelectionModel* selections = selectionModel();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    const bool enabled = (state & QStyle::State_Enabled) != 0;
    const bool editing = this->state() == EditingState;
    // Lines are drawn as wide as the viewport, even when they are measured wider.
    const int width = viewport()->width();

    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = RowRect(row);
        option.rect.setWidth(std::min(width, option.rect.width()));
        option.state = state;
        if (selections != nullptr && selections->isSelected(index)) {
            option.state |= QStyle::State_Selected;
        }
        if (enabled) {
            QPalette::ColorGroup group = QPalette::Normal;
            if ((model()->flags(index) & Qt::ItemIsEnabled) == 0) {
                option.state &= ~QStyle::State_Enabled;
                group = QPalette::Disabled;
            }
            option.palette.setCurrentColorGroup(group);
        }
        if (focus && current == index) {
            option.state |= QStyle::State_HasFocus;
            if (editing) {
                option.state |= QStyle::State_Editing;
            }
        }
        if (index == m_hover) {
            option.state |= QStyle::State_MouseOver;
        } else {
            option.state &= ~QStyle::State_MouseOver;
        }
        if (alternatingRowColors()) {
            if ((row & 1) != 0) {
                option.features |= QStyleOptionViewItem::Alternate;
            } else {
                option.features &= ~QStyleOptionViewItem::Alternate;
            }
            // The row's own background; the delegate draws the rest.
            const QStyle::State oldState = option.state;
            option.state &= ~QStyle::State_Selected;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
            option.state = oldState;
        }
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

bool QtListBox::viewportEvent(QEvent* event) {
    // The line under the mouse is drawn as hovered, as the view tracks it.
    switch (event->type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            m_hover = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
            break;
        case QEvent::HoverLeave:
        case QEvent::Leave:
            m_hover = QPersistentModelIndex();
            break;
        default:
            break;
    }
    return QListWidget::viewportEvent(event);
}

QModelIndex QtListBox::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    if (!FixedRows()) {
        return QListWidget::moveCursor(cursorAction, modifiers);
    }
    LayOutIfDue();
    const int rows = Rows();
    if (rows <= 0) {
        return QModelIndex();
    }
    auto enabledRow = [&](int row) {
        return (model()->flags(model()->index(row, 0, rootIndex())) & Qt::ItemIsEnabled) != 0;
    };
    // The nearest enabled line from a row in a direction, or -1.
    auto seek = [&](int row, int step) {
        for (; row >= 0 && row < rows; row += step) {
            if (enabledRow(row)) {
                return row;
            }
        }
        return -1;
    };
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        const int row = seek(0, 1);
        return row < 0 ? QModelIndex() : model()->index(row, 0, rootIndex());
    }
    const int row = current.row();
    const int page = std::max(viewport()->height() / std::max(LineHeight(), 1) - 1, 1);
    int target = row;
    switch (cursorAction) {
        case MoveUp:
        case MovePrevious:
            target = seek(row - 1, -1);
            break;
        case MoveDown:
        case MoveNext:
            target = seek(row + 1, 1);
            break;
        case MovePageUp:
            target = seek(std::max(row - page, 0), 1);
            if (target >= row) {
                target = seek(row - 1, -1);
            }
            break;
        case MovePageDown:
            target = seek(std::min(row + page, rows - 1), -1);
            if (target <= row) {
                target = seek(row + 1, 1);
            }
            break;
        case MoveHome:
            return model()->index(0, 0, rootIndex());
        case MoveEnd:
            return model()->index(rows - 1, 0, rootIndex());
        case MoveLeft:
        case MoveRight:
            break;
    }
    return target < 0 ? current : model()->index(target, 0, rootIndex());
}

void QtListBox::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!FixedRows()) {
        QListWidget::setSelection(rect, command);
        return;
    }
    LayOutIfDue();
    if (selectionModel() == nullptr) {
        return;
    }
    QItemSelection selection;
    // The lines from the one at the rectangle's top to the one at its bottom, when both are
    // lines that can be selected.
    const QModelIndex top = indexAt(QPoint(rect.left(), rect.top()));
    const QModelIndex bottom = indexAt(QPoint(rect.left(), rect.bottom()));
    auto usable = [&](const QModelIndex& index) {
        return index.isValid() && (model()->flags(index) & Qt::ItemIsEnabled) != 0;
    };
    if (usable(top) && usable(bottom)) {
        selection.select(top.row() <= bottom.row() ? top : bottom,
                         top.row() <= bottom.row() ? bottom : top);
    }
    selectionModel()->select(selection, command);
}

void QtListBox::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (!FixedRows()) {
        QListWidget::selectionChanged(selected, deselected);
        return;
    }
    // A screen reader hears of the first line selected and the first deselected; a line's
    // place among the children is its row.
    if (QAccessible::isActive()) {
        const QModelIndex added = selected.indexes().value(0);
        if (added.isValid()) {
            QAccessibleEvent event(this, QAccessible::SelectionAdd);
            event.setChild(added.row());
            QAccessible::updateAccessibility(&event);
        }
        const QModelIndex removed = deselected.indexes().value(0);
        if (removed.isValid()) {
            QAccessibleEvent event(this, QAccessible::SelectionRemove);
            event.setChild(removed.row());
            QAccessible::updateAccessibility(&event);
        }
    }
    QAbstractItemView::selectionChanged(selected, deselected);
}

void QtListBox::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (!FixedRows()) {
        QListWidget::currentChanged(current, previous);
        return;
    }
    // The focused line, for a screen reader, while the list has the focus.
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
    QAbstractItemView::currentChanged(current, previous);
}

void QtListBox::scrollToItem(const QListWidgetItem* item, ScrollHint hint) {
    if (item != nullptr && item->listWidget() == this) {
        scrollTo(indexFromItem(item), hint);
    }
}
