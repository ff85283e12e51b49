#include "controls/switch_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "controls/switch_btn.h"

namespace {

class AccessibleSwitch : public QAccessibleWidget {
public:
    explicit AccessibleSwitch(CSwitchBtn* sw) : QAccessibleWidget(sw, QAccessible::CheckBox) {
        addControllingSignal(QStringLiteral("toggled(bool)"));
    }

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return Switch()->SpokenName();
            case QAccessible::Description:
                return Switch()->KnobCaption();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Switch()->m_state != 0;
        return s;
    }

    QStringList actionNames() const override {
        if (!widget()->isEnabled()) {
            return QAccessibleWidget::actionNames();
        }
        return QStringList{toggleAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == toggleAction() || actionName == pressAction()) {
            Switch()->Toggle();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    CSwitchBtn* Switch() const { return static_cast<CSwitchBtn*>(widget()); }
};

QAccessibleInterface* SwitchFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CSwitchBtn::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new AccessibleSwitch(static_cast<CSwitchBtn*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallSwitchAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(SwitchFactory);
        return true;
    }();
    (void)installed;
}
