#include "app/single_selection_list.h"

#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

namespace {

// Takes Ctrl off the mouse input and the Space key that reach the list, before the list turns
// them into a deselection (a selected line is deselected at the press or at the release).
// Everything else about the events is left as it is.
class KeepSelectionFilter : public QObject {
public:
    explicit KeepSelectionFilter(QListWidget* list) : QObject(list), m_list(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
                if (watched == m_list->viewport()) {
                    StripControl(static_cast<QInputEvent*>(event));
                }
                break;
            case QEvent::KeyPress:
                if (watched == m_list && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
                    StripControl(static_cast<QInputEvent*>(event));
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    static void StripControl(QInputEvent* event) {
        if (event->modifiers() & Qt::ControlModifier) {
            event->setModifiers(event->modifiers() & ~Qt::ControlModifier);
        }
    }

    QListWidget* m_list;
};

}  // namespace

void KeepSingleSelection(QListWidget* list) {
    if (list == nullptr) {
        return;
    }
    auto* filter = new KeepSelectionFilter(list);
    list->installEventFilter(filter);
    list->viewport()->installEventFilter(filter);
}
