#include "widget_driving.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include "controls/switch_btn.h"

namespace test_support {

namespace {

void ClickAt(QWidget* w, const SwitchRect& r) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier,
                      QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

}  // namespace

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return true;
}

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
}

CSwitchBtn* Switch(const QWidget* page, int id) {
    return Control<CSwitchBtn>(page, id);
}

void Click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

void ClickUpperHalf(CSwitchBtn* sw) {
    ASSERT_NE(sw, nullptr);
    ClickAt(sw, sw->Geometry().firstHit);
}

void ClickLowerHalf(CSwitchBtn* sw) {
    ASSERT_NE(sw, nullptr);
    ClickAt(sw, sw->Geometry().secondHit);
}

bool ClickAndChooseFile(QWidget* opener, const QString& path, int filter) {
    bool done = false;
    // The dialog runs its own loop: answer it once it is up.
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, answer);
            return;
        }
        if (filter >= 0) {
            dialog->selectNameFilter(dialog->nameFilters().value(filter));
        }
        dialog->selectFile(path);
        done = true;
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
    QTimer::singleShot(0, answer);
    Click(opener);
    return WaitFor([&] { return done; });
}

}  // namespace test_support
