#include "dialog_driver.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/ravlin_dlg.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"
#include "platform/qt_tab_control.h"
#include "res/resource.h"

namespace gui_test {

namespace {

QPoint RowMiddle(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    return list->visualItemRect(item).center();
}

}  // namespace

std::unique_ptr<CRavlinDlg> ShowMainDialog() {
    auto dlg = std::make_unique<CRavlinDlg>();
    if (!dlg->Create()) {
        return nullptr;
    }
    dlg->show();
    return QTest::qWaitForWindowExposed(dlg.get()) ? std::move(dlg) : nullptr;
}

bool SyncWithMonitor(CRavlinDlg& dlg, PseudoTerminal& bus) {
    for (int attempt = 0; attempt < 50 && dlg.Log().Text().isEmpty(); ++attempt) {
        bus.Write({0x00});
        WaitFor([&] { return !dlg.Log().Text().isEmpty(); }, 200);
    }
    if (dlg.Log().Text().isEmpty()) {
        return false;
    }
    Click(MainControl(dlg, IDC_CLEAR_LOG));
    return true;
}

std::unique_ptr<CRavlinDlg> ShowDialogOnBus(PseudoTerminal& bus, const char* portName) {
    bus.Publish(portName);
    std::unique_ptr<CRavlinDlg> dlg = ShowMainDialog();
    if (!dlg || !OpenPort(*dlg, QString::fromUtf8(portName)) || !SyncWithMonitor(*dlg, bus)) {
        return nullptr;
    }
    return dlg;
}

QWidget* MainControl(const CRavlinDlg& dlg, int id) {
    return FindControl(&dlg, id);
}

QListWidget* DeviceList(const CRavlinDlg& dlg) {
    return qobject_cast<QListWidget*>(MainControl(dlg, IDC_DEVICE_LIST));
}

QListWidget* StatusList(const CRavlinDlg& dlg) {
    return qobject_cast<QListWidget*>(MainControl(dlg, IDC_STATUS_LIST));
}

void ClickTab(CRavlinDlg& dlg, int index) {
    QTabBar* bar = dlg.TabControl()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}

bool ChooseText(QComboBox* combo, const QString& text) {
    const int index = combo ? combo->findText(text) : -1;
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    return true;
}

bool OpenPort(CRavlinDlg& dlg, const QString& portName) {
    if (!ChooseText(qobject_cast<QComboBox*>(MainControl(dlg, IDC_PORT)), portName)) {
        return false;
    }
    Click(MainControl(dlg, IDC_OPEN_CLOSE));
    return dlg.PortOpen();
}

void ClickRow(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, RowMiddle(list, row));
}

void DoubleClickRow(QListWidget* list, int row) {
    const QPoint at = RowMiddle(list, row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QStringList RowTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

std::vector<unsigned> RowData(const QListWidget* list) {
    std::vector<unsigned> data;
    for (int i = 0; i < list->count(); ++i) {
        data.push_back(list->item(i)->data(Qt::UserRole).toUInt());
    }
    return data;
}

bool ChooseFromContextMenu(CRavlinDlg& dlg, Qt::Key key) {
    bool chosen = false;
    // The menu runs its own loop: choose the entry once it is up.
    std::function<void()> choose = [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            QTimer::singleShot(20, choose);
            return;
        }
        chosen = true;
        QTest::keyClick(menu, key);
    };
    QTimer::singleShot(0, choose);
    // What the menu key or a right click gives the dialog.
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(10, 10),
                            dlg.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&dlg, &event);
    return test_support::WaitFor([&] { return chosen; });
}

}  // namespace gui_test
