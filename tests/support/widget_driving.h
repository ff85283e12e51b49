#pragma once
// Driving widgets as a user does: waiting while events flow, finding controls by number, and
// real clicks on buttons, check boxes and the halves of a switch.

#include <QWidget>
#include <functional>

#include "platform/qt_dialog_builder.h"

class CSwitchBtn;

namespace test_support {

// Runs the event loop until pred holds or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 10000);
// Runs the event loop for ms milliseconds (to see that nothing more happens).
void Settle(int ms);

// The control numbered `id` on `dialog` (by its controlId property), as a T; nullptr when
// missing or of another kind.
template <class T = QWidget>
T* Control(const QWidget* dialog, int id) {
    return qobject_cast<T*>(FindControl(dialog, id));
}
CSwitchBtn* Switch(const QWidget* page, int id);

// A real click (press and release) with the left button in the middle of the widget.
void Click(QWidget* w);
// A real click in the middle of the switch's upper ("UP"/"ON") or lower half.
void ClickUpperHalf(CSwitchBtn* sw);
void ClickLowerHalf(CSwitchBtn* sw);

// Clicks `opener`, and accepts the file dialog it opens with `path` chosen (and the name filter
// numbered `filter`, when not -1); true once the dialog was answered.
bool ClickAndChooseFile(QWidget* opener, const QString& path, int filter = -1);

}  // namespace test_support
