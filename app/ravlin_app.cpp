#include "app/ravlin_app.h"

#include <QApplication>
#include <QIcon>

#include "app/ravlin_dlg.h"
#include "platform/qt_message_box.h"

CRavlinApp theApp;

void InitRavlinResources() {
    Q_INIT_RESOURCE(ravlin);
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/ravlin/ravlin-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    // The installed desktop entry and icon carry the application's reverse-DNS id.
    QGuiApplication::setDesktopFileName(QStringLiteral(RAVLIN_APP_ID));
}

bool CRavlinApp::InitInstance() {
    InitRavlinResources();
    InstallQtMessageBoxHandler();
    CRavlinDlg dlg;
    dlg.DoModal();
    return false;
}
