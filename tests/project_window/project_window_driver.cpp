#include "project_window_driver.h"

#include <QApplication>
#include <QTableView>
#include <QTest>

#include "app/project_window.h"
#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "widget_driving.h"

namespace project_test {

CProjectWindow* OpenWithShortcut(CRavlinDlg& dlg) {
    // The shortcut belongs to the main dialog's window, which must be the active one.
    dlg.activateWindow();
    QApplication::setActiveWindow(&dlg);
    if (!QTest::qWaitForWindowActive(&dlg)) {
        return nullptr;
    }
    QTest::keyClick(&dlg, Qt::Key_P, Qt::ControlModifier);
    const bool shown = test_support::WaitFor(
        [&] { return dlg.ProjectWindow() && dlg.ProjectWindow()->isVisible(); });
    return shown ? dlg.ProjectWindow() : nullptr;
}

CProjectWindow* OpenWithMenu(CRavlinDlg& dlg) {
    const bool chosen = gui_test::ChooseFromContextMenu(dlg, Qt::Key_P);
    const bool shown = test_support::WaitFor(
        [&] { return chosen && dlg.ProjectWindow() && dlg.ProjectWindow()->isVisible(); });
    return shown ? dlg.ProjectWindow() : nullptr;
}

QWidget* WindowControl(const CProjectWindow& window, int id) {
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

void ClickButton(CProjectWindow& window, int id) {
    test_support::Click(WindowControl(window, id));
}

bool RunToEnd(CProjectWindow& window, int id, int timeoutMs) {
    bool ended = false;
    const QMetaObject::Connection c =
        QObject::connect(&window, &CProjectWindow::RunFinished, [&] { ended = true; });
    ClickButton(window, id);
    const bool ok = test_support::WaitFor([&] { return ended; }, timeoutMs);
    QObject::disconnect(c);
    return ok;
}

void ClickAndChooseFile(CProjectWindow& window, int id, const QString& path) {
    test_support::ClickAndChooseFile(WindowControl(window, id), path);
}

QString RowText(const CProjectWindow& window, int row) {
    const QAbstractItemModel* model = window.Table()->model();
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) {
        cells << model->index(row, c).data().toString();
    }
    return cells.join(QLatin1Char('|'));
}

QStringList RowTexts(const CProjectWindow& window) {
    QStringList rows;
    for (int r = 0; r < window.Table()->model()->rowCount(); ++r) {
        rows << RowText(window, r);
    }
    return rows;
}

int RowOf(const CProjectWindow& window, const QString& model, int address) {
    const QAbstractItemModel* m = window.Table()->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->index(r, 1).data().toString() == model &&
            m->index(r, 2).data().toString() == QString::number(address)) {
            return r;
        }
    }
    return -1;
}

void ClickCell(CProjectWindow& window, int row, int column) {
    QTableView* table = window.Table();
    table->scrollTo(table->model()->index(row, column));
    const QRect rect = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

}  // namespace project_test
