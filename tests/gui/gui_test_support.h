#pragma once
// Shared by the GUI tests: the application object, a recorder for message boxes, waiting with
// a deadline while events flow, and finding controls by number.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "platform/qt_dialog_builder.h"

namespace gui_test {

// One QApplication for the whole test program, with the application's resources.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned flags;
};

// Replaces the message-box handler for its lifetime and records every box, from any thread.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<RecordedBox> Boxes() const;
    std::size_t Count(const std::string& text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedBox> m_boxes;
    MessageBoxHandler m_previous;
};

// Runs the event loop until pred holds or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 10000);

template <class T = QWidget>
T* Control(const QWidget* dialog, int id) {
    return qobject_cast<T*>(FindControl(dialog, id));
}

// Clicks a widget in its middle with the left button.
void Click(QWidget* w);

}  // namespace gui_test
