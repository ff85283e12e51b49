#pragma once
// Driving the main dialog the way an installer does, for the bus tests and the end-to-end
// tests: tabs, combo choices and rows of the lists, all by real clicks on controls found by
// number (switches are clicked with ClickUpperHalf / ClickLowerHalf of the widget support).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class CRavlinDlg;
class PseudoTerminal;
class QComboBox;
class QListWidget;
class QWidget;

namespace gui_test {

using Bytes = std::vector<std::uint8_t>;

// A new main dialog, created and shown, once its window is exposed; nullptr when either fails.
// The ports published before the call are the ones it lists.
std::unique_ptr<CRavlinDlg> ShowMainDialog();

// The monitor purges the port as it starts, so bytes written before that are lost: probes
// from the bus end until a byte reaches the log, then empties the log with "清空". False when
// none got through.
bool SyncWithMonitor(CRavlinDlg& dlg, PseudoTerminal& bus);

// Publishes `bus` as `portName`, shows a new main dialog, opens that port with the default line
// settings and syncs with the monitor: the dialog as an installer has it once the port is open.
// nullptr when any step fails.
std::unique_ptr<CRavlinDlg> ShowDialogOnBus(PseudoTerminal& bus, const char* portName);

// A control of the main dialog by number.
QWidget* MainControl(const CRavlinDlg& dlg, int id);
QListWidget* DeviceList(const CRavlinDlg& dlg);
QListWidget* StatusList(const CRavlinDlg& dlg);

// Opens the main dialog's context menu, as the menu key does, and chooses the entry whose
// mnemonic is `key`; true once it was chosen.
bool ChooseFromContextMenu(CRavlinDlg& dlg, Qt::Key key);
// Clicks tab `index` of the tab control.
void ClickTab(CRavlinDlg& dlg, int index);
// Selects the entry with this text, as a choice from the drop-down list; false when missing.
bool ChooseText(QComboBox* combo, const QString& text);
// Opens the port listed as `portName` with the default line settings.
bool OpenPort(CRavlinDlg& dlg, const QString& portName);

// Clicks / double-clicks the middle of row `row`.
void ClickRow(QListWidget* list, int row);
void DoubleClickRow(QListWidget* list, int row);
// The texts of all rows, and the item data (bus address) of all rows.
QStringList RowTexts(const QListWidget* list);
std::vector<unsigned> RowData(const QListWidget* list);

}  // namespace gui_test
