#include "platform/qt_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

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

void ShowOnUiThread(const QString& text, const QString& caption, unsigned flags) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(IconOf(flags), caption, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

}  // namespace

void InstallQtMessageBoxHandler() {
    SetMessageBoxHandler([](const std::string& text, const std::string& caption, unsigned flags) {
        const QString qtext = QString::fromStdString(text);
        const QString qcaption = QString::fromStdString(caption);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            return;
        }
        if (QThread::currentThread() == app->thread()) {
            ShowOnUiThread(qtext, qcaption, flags);
        } else {
            QMetaObject::invokeMethod(
                app, [&] { ShowOnUiThread(qtext, qcaption, flags); }, Qt::BlockingQueuedConnection);
        }
    });
}
