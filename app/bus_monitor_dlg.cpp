#include "app/bus_monitor_dlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/monitor_export.h"
#include "bus/frame.h"
#include "bus/frame_decode.h"
#include "platform/message_box.h"
#include "platform/qt_dialog_builder.h"

namespace {

QTableView* MakeTable(QAbstractItemModel* model, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Fixed row heights keep a list of 100,000 rows cheap to scroll.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

// The commands offered by the command filter, in frame order.
constexpr int kFilterCommands[] = {kSearchCommand,    kCmdDevice,        kCmdLed1,
                                   kCmdLed2,          kCmdAutoAssign,    kCmdAddressRequest,
                                   kCmdAddressAssign, kCmdReadConfig,    kCmdSerialFormat,
                                   kCmdKeyMode,       kCmdFunctionCodes, kCmdFound};

enum class Export { FramesText, FramesCsv, DevicesCsv };

}  // namespace

CBusMonitorDlg::CBusMonitorDlg(CBusRecorder& recorder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_recorder(recorder) {
    setWindowTitle(QStringLiteral("总线监视"));
    setAccessibleName(QStringLiteral("总线监视"));
    setObjectName(QStringLiteral("busMonitor"));
    resize(980, 560);

    m_tabs = Numbered(new QTabWidget(this), IDC_MON_TABS, "总线监视");
    m_tabs->addTab(MakeFramesPage(), QStringLiteral("帧"));
    m_tabs->addTab(MakeDevicesPage(), QStringLiteral("设备"));

    auto* exportButton =
        Numbered(new QPushButton(QStringLiteral("导出..."), this), IDC_MON_EXPORT, "导出");
    exportButton->setToolTip(QStringLiteral("导出帧列表或设备表 (Ctrl+S)"));
    connect(exportButton, &QPushButton::clicked, this, &CBusMonitorDlg::OnExport);
    auto* exportKey = new QShortcut(QKeySequence::Save, this);
    connect(exportKey, &QShortcut::activated, this, &CBusMonitorDlg::OnExport);

    m_status = Numbered(new QLabel(this), IDC_MON_STATUS, "状态");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);
    UpdateStatus();
}

CBusMonitorDlg::~CBusMonitorDlg() {
    Detach();
}

QWidget* CBusMonitorDlg::MakeFramesPage() {
    auto* page = new QWidget;
    page->setAccessibleName(QStringLiteral("帧"));

    m_direction = Numbered(new QComboBox(this), IDC_MON_DIRECTION, "方向");
    m_direction->addItem(QStringLiteral("全部"),
                         static_cast<int>(CFrameFilterModel::Direction::All));
    m_direction->addItem(QStringLiteral("发送"),
                         static_cast<int>(CFrameFilterModel::Direction::Sent));
    m_direction->addItem(QStringLiteral("接收"),
                         static_cast<int>(CFrameFilterModel::Direction::Received));

    m_address = Numbered(new QSpinBox(this), IDC_MON_ADDRESS, "地址");
    m_address->setRange(-1, 255);
    m_address->setValue(-1);
    m_address->setSpecialValueText(QStringLiteral("全部"));

    m_command = Numbered(new QComboBox(this), IDC_MON_COMMAND, "命令");
    m_command->addItem(QStringLiteral("全部"), CFrameFilterModel::kAny);
    for (const int command : kFilterCommands) {
        m_command->addItem(QString::fromStdString(CommandName(command)), command);
    }

    m_pause = Numbered(new QPushButton(QStringLiteral("暂停"), this), IDC_MON_PAUSE, "暂停");
    m_pause->setCheckable(true);
    auto* clear = Numbered(new QPushButton(QStringLiteral("清除"), this), IDC_MON_CLEAR, "清除");

    connect(m_direction, &QComboBox::currentIndexChanged, this, &CBusMonitorDlg::OnFilterChanged);
    connect(m_command, &QComboBox::currentIndexChanged, this, &CBusMonitorDlg::OnFilterChanged);
    connect(m_address, &QSpinBox::valueChanged, this, &CBusMonitorDlg::OnFilterChanged);
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_filter.SetPaused(paused);
        m_pause->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
        UpdateStatus();
    });
    connect(clear, &QPushButton::clicked, this, &CBusMonitorDlg::OnClear);

    auto* filters = new QHBoxLayout;
    const auto label = [&](const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromUtf8(text), page);
        l->setBuddy(buddy);
        filters->addWidget(l);
        filters->addWidget(buddy);
    };
    label("方向(&D)：", m_direction);
    label("地址(&A)：", m_address);
    label("命令(&C)：", m_command);
    filters->addStretch(1);
    filters->addWidget(m_pause);
    filters->addWidget(clear);

    m_frameView = Numbered(MakeTable(&m_filter, page), IDC_MON_FRAMES, "帧列表");
    m_frameView->setColumnWidth(CFrameTableModel::kTime, 100);
    m_frameView->setColumnWidth(CFrameTableModel::kDirection, 50);
    m_frameView->setColumnWidth(CFrameTableModel::kBytes, 300);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(filters);
    layout->addWidget(m_frameView, 1);
    return page;
}

QWidget* CBusMonitorDlg::MakeDevicesPage() {
    auto* page = new QWidget;
    page->setAccessibleName(QStringLiteral("设备"));
    m_deviceView = Numbered(MakeTable(nullptr, page), IDC_MON_DEVICES, "设备表");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_deviceView);
    return page;
}

void CBusMonitorDlg::showEvent(QShowEvent* e) {
    Attach();
    QWidget::showEvent(e);
}

void CBusMonitorDlg::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    // A minimised window still records; only a closed one stops.
    if (!isMinimized()) {
        Detach();
    }
}

void CBusMonitorDlg::Attach() {
    if (m_attached) {
        return;
    }
    m_attached = true;
    m_recorder.Flush();
    m_filter.setSourceModel(&m_recorder.Frames());
    m_deviceView->setModel(&m_recorder.Devices());
    m_deviceView->setColumnWidth(CDeviceTableModel::kState, 100);
    m_deviceView->setColumnWidth(CDeviceTableModel::kFirst, 170);
    m_deviceView->setColumnWidth(CDeviceTableModel::kLast, 170);
    m_connections << connect(&m_recorder, &CBusRecorder::Flushed, this, &CBusMonitorDlg::OnFlushed)
                  << connect(&m_recorder.Frames(), &QAbstractItemModel::rowsAboutToBeInserted, this,
                             [this] {
                                 const QScrollBar* bar = m_frameView->verticalScrollBar();
                                 m_followEnd = bar->value() >= bar->maximum();
                             });
    m_frameView->scrollToBottom();
    UpdateStatus();
}

void CBusMonitorDlg::Detach() {
    if (!m_attached) {
        return;
    }
    m_attached = false;
    for (const QMetaObject::Connection& c : std::as_const(m_connections)) {
        disconnect(c);
    }
    m_connections.clear();
    // Off the models: rows that arrive while the window is closed cost no view and no filter.
    m_filter.setSourceModel(nullptr);
    m_deviceView->setModel(nullptr);
}

void CBusMonitorDlg::OnFlushed() {
    if (m_followEnd && !m_filter.Paused()) {
        m_frameView->scrollToBottom();
    }
    m_followEnd = false;
    UpdateStatus();
}

void CBusMonitorDlg::OnFilterChanged() {
    m_filter.SetDirection(
        static_cast<CFrameFilterModel::Direction>(m_direction->currentData().toInt()));
    const int address = m_address->value();
    m_filter.SetAddress(address < 0 ? CFrameFilterModel::kAny : address);
    m_filter.SetCommand(m_command->currentData().toInt());
    UpdateStatus();
}

void CBusMonitorDlg::OnClear() {
    m_recorder.ClearFrames();
    UpdateStatus();
}

void CBusMonitorDlg::UpdateStatus() {
    QString text =
        QStringLiteral("%1 行，显示 %2 行").arg(Frames().rowCount()).arg(m_filter.rowCount());
    if (m_filter.Paused()) {
        text += QStringLiteral("（已暂停）");
    }
    if (const std::size_t lost = m_recorder.Lost()) {
        text += QStringLiteral("；%1 条发送记录因积压未能显示").arg(lost);
    }
    if (!m_lastExport.isEmpty()) {
        text += QStringLiteral("；") + m_lastExport;
    }
    m_status->setText(text);
}

void CBusMonitorDlg::OnExport() {
    Flush();
    const QStringList filters = {QStringLiteral("帧列表文本 (*.txt)"),
                                 QStringLiteral("帧列表 CSV (*.csv)"),
                                 QStringLiteral("设备表 CSV (*.csv)")};
    QFileDialog dialog(this, QStringLiteral("导出"));
    dialog.setObjectName(QStringLiteral("exportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(filters);
    dialog.selectFile(
        QStringLiteral("ravlin-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    QString path = dialog.selectedFiles().front();
    const auto kind =
        static_cast<Export>(std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter())));
    const QString suffix =
        kind == Export::FramesText ? QStringLiteral(".txt") : QStringLiteral(".csv");
    if (QFileInfo(path).suffix().isEmpty()) {
        path += suffix;
    }

    QString error;
    bool ok = false;
    switch (kind) {
        case Export::FramesText:
            ok = ExportFramesText(path, Frames().Rows(), &error);
            break;
        case Export::FramesCsv:
            ok = ExportFramesCsv(path, Frames().Rows(), &error);
            break;
        case Export::DevicesCsv:
            ok = ExportDevicesCsv(path, Devices(), &error);
            break;
    }
    if (!ok) {
        ShowMessageBox(("导出失败：" + path + "\n" + error).toStdString(), kAppName,
                       MB_OK | MB_ICONWARNING);
        return;
    }
    m_lastExport = QStringLiteral("已导出到 %1").arg(path);
    UpdateStatus();
}
