#include "platform/qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <memory>
#include <mutex>
#include <semaphore>

#include "platform/message_box.h"

namespace {

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        case 0x20:  // question mark
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

void ShowOnUiThread(const QString& text, const QString& caption, unsigned flags,
                    const QString& informative) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(IconOf(flags), caption, text, QMessageBox::Ok, parent);
    // The texts carry device paths and program names, never markup.
    box.setTextFormat(Qt::PlainText);
    if (!informative.isEmpty()) {
        box.setInformativeText(informative);
    }
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

// Taken around posting a box to the UI thread and again before the UI thread reads it, so the
// texts are ordered before their use also for a thread checker that cannot see inside Qt's queue.
std::mutex g_handOver;

}  // namespace

void InstallQtMessageBoxHandler() {
    SetMessageBoxContentHandler([](const MessageBoxContent& content) {
        const QString qtext = QString::fromStdString(content.text);
        const QString qcaption = QString::fromStdString(content.caption);
        const QString qinformative = QString::fromStdString(content.informative);
        const unsigned flags = content.flags;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            return;
        }
        if (QThread::currentThread() == app->thread()) {
            ShowOnUiThread(qtext, qcaption, flags, qinformative);
        } else {
            // The calling thread waits on a semaphore of its own rather than inside Qt, so the
            // hand-over of the texts and the wait stay visible to the thread checker. The
            // semaphore is released when the queued call is gone: after the box was closed, or
            // when Qt drops the call because the application is ending.
            std::binary_semaphore closed(0);
            auto release = std::shared_ptr<void>(nullptr, [&closed](void*) { closed.release(); });
            {
                std::lock_guard lock(g_handOver);
                QMetaObject::invokeMethod(
                    app,
                    [&, release] {
                        { std::lock_guard order(g_handOver); }
                        ShowOnUiThread(qtext, qcaption, flags, qinformative);
                    },
                    Qt::QueuedConnection);
            }
            release.reset();
            closed.acquire();
        }
    });
}
