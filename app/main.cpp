#include <QApplication>

#include "app/ravlin_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravlin"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    theApp.InitInstance();
    return 0;
}
