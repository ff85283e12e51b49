#include "platform/qt_link_label.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

constexpr char kHref[] = "link";

class AccessibleLink : public QAccessibleWidget {
public:
    explicit AccessibleLink(QtLinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {
        addControllingSignal(QStringLiteral("linkActivated(QString)"));
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) {
            if (widget()->isEnabled()) {
                static_cast<QtLinkLabel*>(widget())->Activate();
            }
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }
};

// Asked with each class name of an object, most derived first, when its interface is first
// needed.
QAccessibleInterface* LinkFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(QtLinkLabel::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new AccessibleLink(static_cast<QtLinkLabel*>(object));
    }
    return nullptr;
}

}  // namespace

QtLinkLabel::QtLinkLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    // The factory is in place before the label's first accessibility event (its text), which
    // is when the interface is made and kept.
    static const bool installed = [] {
        QAccessible::installFactory(LinkFactory);
        return true;
    }();
    (void)installed;
    setTextFormat(Qt::RichText);
    setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(QLatin1String(kHref), text.toHtmlEscaped()));
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setOpenExternalLinks(false);
    setCursor(Qt::PointingHandCursor);
}

void QtLinkLabel::Activate() {
    emit linkActivated(QLatin1String(kHref));
}
