#pragma once
// A list box: a QListWidget whose layout costs the same however many lines it holds. A plain
// list view lays out every line again after each line added or removed; on a list of 10,000
// status lines fed by a busy bus that is most of the window's work. A list box has one column
// of lines of one height, top to bottom, so where a line is, which line is under a point and
// how far the list scrolls are arithmetic on the line height: adding, removing, scrolling and
// painting cost the same at any length.
//
// It looks, scrolls, selects, hit-tests and reads to a screen reader as the plain list view
// in that case: lines as wide as the viewport (or as the last line, when that is wider), a
// scroll bar that steps one line at a time, the same keys and clicks. When the list is set to
// anything else (wrapping, icon mode, a grid, spacing, lines of different heights, pixel
// scrolling, hidden lines) it lays itself out as the plain list view does.

#include <QListWidget>
#include <QPersistentModelIndex>

class QtListBox : public QListWidget {
    Q_OBJECT
public:
    explicit QtListBox(QWidget* parent = nullptr);

    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void doItemsLayout() override;
    // Scrolls through scrollTo. QListWidget's own scrollToItem is not virtual and asks the
    // plain list view's layout, which a list box doesn't keep: through a QListWidget pointer,
    // scroll with scrollTo(model()->index(row, 0), hint).
    void scrollToItem(const QListWidgetItem* item, ScrollHint hint = EnsureVisible);

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void reset() override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    // True when the list is laid out here (one column of lines of one height); false when the
    // plain list view does it. Switching from one to the other lays the list out afresh.
    bool FixedRows() const;
    int Rows() const;
    // The height and width of every line: those of the last line, measured again after the
    // lines changed, as the plain list view measures a list of lines of one size.
    QSize LineSize() const;
    int LineHeight() const;
    // The first line drawn at the top of the viewport.
    int TopRow() const;
    // Lines that fit in the viewport whole: one page of the scroll bar.
    int PageRows() const;
    // The line at a height in the viewport, or -1.
    int RowAtY(int y) const;
    // A line's rectangle in the viewport, as wide as the viewport or the measured line.
    QRect RowRect(int row) const;
    void LinesChanged();
    // Lays the list out now when lines changed since it was last laid out.
    void LayOutIfDue() const;
    // After lines were removed: the scroll bar and the viewport follow.
    void rowsRemovedFromModel();

    mutable QSize m_lineSize;
    mutable bool m_lineSizeDue = true;
    mutable int m_lineHeight = 0;
    mutable bool m_lineHeightDue = true;
    mutable bool m_fixedLast = true;
    QPersistentModelIndex m_hover;
};
