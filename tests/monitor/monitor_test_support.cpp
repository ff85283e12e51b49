#include "monitor_test_support.h"

#include <QTableView>
#include <QTest>
#include <algorithm>

#include "app/bus_monitor_dlg.h"
#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "widget_driving.h"

namespace monitor_test {

CBusMonitorDlg* OpenWithShortcut(CRavlinDlg& dlg) {
    dlg.activateWindow();
    QTest::keyClick(&dlg, Qt::Key_M, Qt::ControlModifier);
    test_support::WaitFor([&] { return dlg.BusMonitor() && dlg.BusMonitor()->isVisible(); });
    return dlg.BusMonitor();
}

CBusMonitorDlg* OpenWithMenu(CRavlinDlg& dlg) {
    const bool chosen = gui_test::ChooseFromContextMenu(dlg, Qt::Key_M);
    test_support::WaitFor(
        [&] { return chosen && dlg.BusMonitor() && dlg.BusMonitor()->isVisible(); });
    return dlg.BusMonitor();
}

QStringList ShownRows(CBusMonitorDlg& monitor) {
    monitor.Flush();
    QStringList rows;
    const QAbstractItemModel* model = monitor.FrameView()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        rows << QStringList{model->index(r, 1).data().toString(),
                            model->index(r, 2).data().toString(),
                            model->index(r, 3).data().toString()}
                    .join('|');
    }
    return rows;
}

QStringList ShownRowsWith(CBusMonitorDlg& monitor, const QString& text) {
    QStringList rows = ShownRows(monitor);
    rows.erase(
        std::remove_if(rows.begin(), rows.end(),
                       [&](const QString& row) { return !row.section('|', 2).contains(text); }),
        rows.end());
    return rows;
}

void ExportBy(CBusMonitorDlg& monitor, int filter, const QString& path) {
    test_support::ClickAndChooseFile(MonitorControl(&monitor, IDC_MON_EXPORT), path, filter);
}

}  // namespace monitor_test
