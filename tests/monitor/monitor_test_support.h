#pragma once
// Shared by the bus monitor's GUI tests: opening the monitor the way an installer does, its
// controls by number, its rows as text, and the export driven through its file dialog.

#include <QString>
#include <QStringList>
#include <QWidget>

class CBusMonitorDlg;
class CRavlinDlg;

namespace monitor_test {

// Opens the monitor with Ctrl+M on the main dialog; nullptr when it did not appear.
CBusMonitorDlg* OpenWithShortcut(CRavlinDlg& dlg);
// Opens it with the context menu's entry "总线监视(&M)...", chosen by its mnemonic.
CBusMonitorDlg* OpenWithMenu(CRavlinDlg& dlg);

// A control of the monitor by number (at any depth).
template <class T = QWidget>
T* MonitorControl(const QWidget* monitor, int id) {
    for (QWidget* w : monitor->findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) {
            return qobject_cast<T*>(w);
        }
    }
    return nullptr;
}

// The rows the frame list shows, each as "方向|字节|说明".
QStringList ShownRows(CBusMonitorDlg& monitor);
// Those of them whose 说明 contains `text`.
QStringList ShownRowsWith(CBusMonitorDlg& monitor, const QString& text);

// Clicks "导出..." and, in the file dialog, chooses the file type `filter` (0 frames as text,
// 1 frames as CSV, 2 devices as CSV) and the file `path`, then saves.
void ExportBy(CBusMonitorDlg& monitor, int filter, const QString& path);

}  // namespace monitor_test
