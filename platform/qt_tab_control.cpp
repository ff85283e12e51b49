#include "platform/qt_tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <algorithm>

QtTabControl::QtTabControl(QWidget* parent) : QWidget(parent), m_tabBar(new QTabBar(this)) {
    m_tabBar->setDrawBase(false);
    m_tabBar->setExpanding(false);
    m_tabBar->setFocusPolicy(Qt::TabFocus);
    connect(m_tabBar, &QTabBar::currentChanged, this, [this](int) {
        if (!m_selecting) {
            emit SelChange();
        }
    });
}

int QtTabControl::InsertItem(int index, const QString& text) {
    m_selecting = true;
    const int at = m_tabBar->insertTab(index, text);
    m_selecting = false;
    m_tabBar->resize(m_tabBar->sizeHint().width(), m_tabBar->sizeHint().height());
    update();
    return at;
}

int QtTabControl::GetItemCount() const {
    return m_tabBar->count();
}

int QtTabControl::GetCurSel() const {
    return m_tabBar->currentIndex();
}

int QtTabControl::SetCurSel(int index) {
    const int previous = m_tabBar->currentIndex();
    if (index < 0 || index >= m_tabBar->count()) {
        return -1;
    }
    m_selecting = true;
    m_tabBar->setCurrentIndex(index);
    m_selecting = false;
    return previous;
}

int QtTabControl::StripHeight() const {
    return std::max(kMinStripHeight, m_tabBar->sizeHint().height());
}

QRect QtTabControl::PageRect() const {
    return rect().adjusted(kPageMargin, StripHeight(), -kPageMargin, -kPageMargin);
}

void QtTabControl::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    m_tabBar->setGeometry(0, 0, std::min(width(), m_tabBar->sizeHint().width()),
                          m_tabBar->sizeHint().height());
}

void QtTabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = m_tabBar->size();
    option.rect = rect().adjusted(0, m_tabBar->height() - 1, 0, 0);
    option.tabBarRect = m_tabBar->geometry();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}
