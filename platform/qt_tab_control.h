#pragma once
// A tab control: a strip of tabs over a framed panel. Pages are children of the control itself
// (not of an inner stack), so a page's parent is the tab control and the tab control's parent
// is the dialog that owns it. The control only reports the user's choice of tab; showing the
// right page is the owner's job, as with a native tab control.

#include <QString>
#include <QWidget>

class QTabBar;

class QtTabControl : public QWidget {
    Q_OBJECT
public:
    // Space taken off the client rectangle for pages: left, right and bottom edges, and the
    // least height of the tab strip.
    static constexpr int kPageMargin = 2;
    static constexpr int kMinStripHeight = 22;

    explicit QtTabControl(QWidget* parent = nullptr);

    // Inserts a tab with a text; returns its index.
    int InsertItem(int index, const QString& text);
    int GetItemCount() const;
    // The current tab, or -1 when there is none.
    int GetCurSel() const;
    // Selects a tab without reporting a change, as a program's own selection does; returns the
    // previous tab.
    int SetCurSel(int index);
    // Where pages go, in this control's coordinates: the client rectangle with left + 2,
    // top + the height of the tab strip (at least 22), right - 2, bottom - 2.
    QRect PageRect() const;

    QTabBar* TabBar() const { return m_tabBar; }

signals:
    // The user chose another tab (click or keyboard).
    void SelChange();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int StripHeight() const;

    QTabBar* m_tabBar;
    bool m_selecting = false;
};
