#pragma once
// Driving the project window as an installer does: opened with Ctrl+P on the main dialog, its
// buttons found by number and clicked, its file dialogs answered, its rows read as text.

#include <QString>
#include <QStringList>
#include <QWidget>

class CProjectWindow;
class CRavlinDlg;

namespace project_test {

// Opens the window with Ctrl+P on the main dialog; nullptr when it did not appear.
CProjectWindow* OpenWithShortcut(CRavlinDlg& dlg);
// Opens it with the context menu's entry "调试项目(&P)...", chosen by its mnemonic.
CProjectWindow* OpenWithMenu(CRavlinDlg& dlg);

// A control of the window by number.
QWidget* WindowControl(const CProjectWindow& window, int id);
// Clicks the button `id`.
void ClickButton(CProjectWindow& window, int id);
// Clicks the run button `id` and waits until the run has ended; false when it did not.
bool RunToEnd(CProjectWindow& window, int id, int timeoutMs = 30000);

// Clicks the button `id`, then names `path` in the file dialog it opens and accepts it.
void ClickAndChooseFile(CProjectWindow& window, int id, const QString& path);

// The row of the table as "标签|型号|地址|身份|状态|差异".
QString RowText(const CProjectWindow& window, int row);
QStringList RowTexts(const CProjectWindow& window);
// The first row whose model and address are these; -1 when none.
int RowOf(const CProjectWindow& window, const QString& model, int address);
// Clicks the middle of cell (row, column).
void ClickCell(CProjectWindow& window, int row, int column);

}  // namespace project_test
