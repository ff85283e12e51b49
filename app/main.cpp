#include <QApplication>

#include "app/ravlin_app.h"
#include "platform/message_box.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    theApp.InitInstance();
    return 0;
}
