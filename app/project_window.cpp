#include "app/project_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <utility>

#include "app/project_report_pdf.h"
#include "app/ravlin_dlg.h"
#include "platform/message_box.h"
#include "platform/qt_dialog_builder.h"
#include "platform/system_error_text.h"
#include "platform/text_file.h"
#include "platform/text_file_write.h"
#include "project/identify_run.h"
#include "project/project_file.h"
#include "project/resolve_run.h"
#include "project/survey_run.h"
#include "session/key_config_words.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The longest the window lets a run go without the time: a run that waits only for frames is
// still given the time as orvalctl's pump loop gives it.
constexpr milliseconds kLongestWait{50};
// How long a run waits for a search answer or a reply beyond the line's own time.
constexpr milliseconds kRunWait{1000};

void Tell(const char* text) {
    ShowMessageBox(text, kAppName, MB_OK | MB_ICONWARNING);
}

// The run's activities (project/project_run.h) in the window's words.
QString ActivityWord(const char* activity) {
    static constexpr std::pair<std::string_view, const char*> kWords[] = {
        {"searching", "搜索"}, {"reading", "读取配置"}, {"writing", "写入配置"},
        {"verifying", "核对"}, {"identifying", "闪烁"}, {"assigning", "分配地址"},
        {"moving", "改地址"},  {"configuring", "配置"}};
    for (const auto& [english, words] : kWords) {
        if (english == activity) {
            return QString::fromUtf8(words);
        }
    }
    return QString::fromUtf8(activity);
}

std::string Utf8(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

}  // namespace

CProjectWindow::CProjectWindow(CRavlinDlg& dlg)
    : QWidget(&dlg, Qt::Window), m_dlg(dlg), m_bus(dlg) {
    setObjectName(QStringLiteral("projectWindow"));
    setAccessibleName(QStringLiteral("调试项目"));
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, &CProjectWindow::OnWake);
    connect(&dlg.Recorder(), &CBusRecorder::PortFailed, this, &CProjectWindow::OnPortFailed);

    m_table = Numbered(new QTableView(this), IDC_PRJ_TABLE, QStringLiteral("设备计划"));
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setTabKeyNavigation(false);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(false);
    m_table->setWordWrap(false);
    // Each column as wide as what it holds, so identities and statuses are read whole.
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_table->resizeColumnsToContents();
        // Room for a label to be typed.
        m_table->setColumnWidth(CProjectTableModel::kLabel,
                                std::max(m_table->columnWidth(CProjectTableModel::kLabel), 160));
        m_table->horizontalHeader()->setStretchLastSection(true);
    });

    const auto button = [this](const char* text, int id, void (CProjectWindow::*handler)()) {
        // A screen reader hears the visible text, "..." included: it says a dialog follows.
        auto* b =
            Numbered(new QPushButton(QString::fromUtf8(text), this), id, QString::fromUtf8(text));
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    QPushButton* newButton = button("新建", IDC_PRJ_NEW, &CProjectWindow::OnNew);
    QPushButton* open = button("打开...", IDC_PRJ_OPEN, &CProjectWindow::OnOpen);
    QPushButton* save = button("保存", IDC_PRJ_SAVE, &CProjectWindow::OnSave);
    QPushButton* exportButton = button("导出报告...", IDC_PRJ_EXPORT, &CProjectWindow::OnExport);
    QPushButton* capture = button("采集", IDC_PRJ_CAPTURE, &CProjectWindow::OnCapture);
    QPushButton* check = button("检查", IDC_PRJ_CHECK, &CProjectWindow::OnCheck);
    QPushButton* apply = button("写入差异", IDC_PRJ_APPLY, &CProjectWindow::OnApply);
    QPushButton* resolve = button("解决冲突", IDC_PRJ_RESOLVE, &CProjectWindow::OnResolve);
    QPushButton* identify = button("闪烁", IDC_PRJ_IDENTIFY, &CProjectWindow::OnIdentify);
    identify->setAccessibleDescription(QStringLiteral("让选中的面板闪灯"));
    m_stop = button("停止", IDC_PRJ_STOP, &CProjectWindow::OnStop);
    QPushButton* fromPage =
        button("从页面取配置", IDC_PRJ_FROM_PAGE, &CProjectWindow::OnTakeFromPage);
    QPushButton* toPage = button("载入到页面", IDC_PRJ_TO_PAGE, &CProjectWindow::OnLoadToPage);
    m_idleButtons = {newButton, open,    save,     exportButton, capture, check,
                     apply,     resolve, identify, fromPage,     toPage};

    for (const auto& [key, handler] : {std::pair{QKeySequence::New, &CProjectWindow::OnNew},
                                       std::pair{QKeySequence::Open, &CProjectWindow::OnOpen},
                                       std::pair{QKeySequence::Save, &CProjectWindow::OnSave}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this, handler = handler] {
            if (!Running()) {
                (this->*handler)();
            }
        });
    }

    m_progress = Numbered(new QProgressBar(this), IDC_PRJ_PROGRESS, QStringLiteral("进度"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    // No name of its own: a screen reader reads a label's name, which is then its text (the run in
    // hand, "完成", "已停止", ...); what the label is, is its description.
    m_status = Numbered(new QLabel(this), IDC_PRJ_STATUS, QString());
    m_status->setAccessibleDescription(QStringLiteral("运行状态"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    auto* fileRow = new QHBoxLayout;
    for (QPushButton* b : {newButton, open, save, exportButton}) {
        fileRow->addWidget(b);
    }
    fileRow->addStretch(1);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(fromPage);
    pageRow->addWidget(toPage);
    pageRow->addStretch(1);
    auto* runRow = new QHBoxLayout;
    for (QPushButton* b : {capture, check, apply, resolve, identify, m_stop}) {
        runRow->addWidget(b);
    }
    runRow->addStretch(1);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_status, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_table, 1);
    layout->addLayout(pageRow);
    layout->addLayout(runRow);
    layout->addLayout(progressRow);

    // The keyboard goes through the window in reading order.
    QWidget* previous = nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{newButton, open, save, exportButton, m_table,
                                                      fromPage, toPage, capture, check, apply,
                                                      resolve, identify, m_stop}) {
        if (previous) {
            setTabOrder(previous, w);
        }
        previous = w;
    }

    ProjectPlan empty;
    empty.line = m_dlg.PanelLine();
    m_model.SetPlan(std::move(empty));
    resize(860, 480);
    UpdateTitle();
    UpdateButtons();
}

CProjectWindow::~CProjectWindow() {
    AbandonRun();
}

void CProjectWindow::UpdateTitle() {
    QString title = QStringLiteral("调试项目");
    if (!m_fileName.isEmpty()) {
        title += QStringLiteral(" - ") + QFileInfo(m_fileName).fileName();
    }
    setWindowTitle(title);
}

void CProjectWindow::UpdateButtons() {
    for (QPushButton* b : m_idleButtons) {
        b->setEnabled(!Running());
    }
    m_stop->setEnabled(Running() && !m_stopping);
    m_table->setEditTriggers(Running() ? QAbstractItemView::NoEditTriggers
                                       : QAbstractItemView::DoubleClicked |
                                             QAbstractItemView::EditKeyPressed |
                                             QAbstractItemView::AnyKeyPressed);
}

int CProjectWindow::SelectedRow() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (!rows.isEmpty()) {
        return rows.front().row();
    }
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() ? current.row() : -1;
}

const PlannedDevice* CProjectWindow::SelectedPanel() {
    const PlannedDevice* planned = m_model.Planned(SelectedRow());
    if (!planned || planned->model != DeviceModel::Tarvo) {
        Tell("请选择一个TARVO面板!");
        return nullptr;
    }
    return planned;
}

// --- The plan and its file.

void CProjectWindow::OnNew() {
    ProjectPlan empty;
    empty.line = m_dlg.PanelLine();
    m_model.SetPlan(std::move(empty));
    m_fileName.clear();
    m_lastReport = {};
    m_status->clear();
    UpdateTitle();
}

void CProjectWindow::OnOpen() {
    QFileDialog dialog(this, QStringLiteral("打开项目"));
    dialog.setObjectName(QStringLiteral("projectFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({QStringLiteral("调试项目 (*.toml)"), QStringLiteral("所有文件 (*)")});
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        OpenFile(dialog.selectedFiles().front());
    }
}

bool CProjectWindow::OpenFile(const QString& path) {
    const TextFileRead file = ReadTextFile(path.toStdString());
    if (!file.text) {
        ShowMessageBox("无法打开 " + path.toStdString() + ": " + file.error, kAppName,
                       MB_OK | MB_ICONWARNING);
        return false;
    }
    ProjectFileError error;
    std::optional<ProjectPlan> plan = ParseProject(*file.text, &error);
    if (!plan) {
        ShowMessageBox(DescribeProjectError(QFileInfo(path).fileName().toStdString(), error),
                       kAppName, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_model.SetPlan(std::move(*plan));
    m_fileName = path;
    m_lastReport = {};
    m_status->clear();
    UpdateTitle();
    return true;
}

void CProjectWindow::OnSave() {
    if (!m_fileName.isEmpty()) {
        SaveFile(m_fileName);
        return;
    }
    QFileDialog dialog(this, QStringLiteral("保存项目"));
    dialog.setObjectName(QStringLiteral("projectFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({QStringLiteral("调试项目 (*.toml)")});
    dialog.setDefaultSuffix(QStringLiteral("toml"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        SaveFile(dialog.selectedFiles().front());
    }
}

bool CProjectWindow::SaveFile(const QString& path) {
    std::string why;
    if (!WriteTextFileWhole(path.toStdString(), FormatProject(m_model.Plan()), &why)) {
        ShowMessageBox("无法保存 " + path.toStdString() + ": " + why, kAppName,
                       MB_OK | MB_ICONWARNING);
        return false;
    }
    m_fileName = path;
    UpdateTitle();
    return true;
}

void CProjectWindow::OnExport() {
    QFileDialog dialog(this, QStringLiteral("导出报告"));
    dialog.setObjectName(QStringLiteral("reportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({QStringLiteral("PDF 报告 (*.pdf)")});
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (!m_fileName.isEmpty()) {
        const QFileInfo info(m_fileName);
        dialog.selectFile(info.path() + QLatin1Char('/') + info.completeBaseName() +
                          QStringLiteral(".pdf"));
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        ExportReport(dialog.selectedFiles().front());
    }
}

bool CProjectWindow::ExportReport(const QString& pdfPath) {
    ReportHeading heading;
    heading.projectName = m_fileName.isEmpty() ? QStringLiteral("未命名项目")
                                               : QFileInfo(m_fileName).completeBaseName();
    heading.when = QDateTime::currentDateTime();
    heading.port = m_dlg.PanelPortName();
    heading.line = m_dlg.PanelLine();
    QString error;
    if (!WriteProjectReport(pdfPath, heading, m_model, &error)) {
        ShowMessageBox("无法导出报告: " + error.toStdString(), kAppName, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_status->setText(QStringLiteral("报告已导出：") + QFileInfo(pdfPath).fileName());
    return true;
}

// --- The TARVO page as the editor of a panel's configuration.

void CProjectWindow::OnTakeFromPage() {
    const int row = SelectedRow();
    if (!SelectedPanel()) {
        return;
    }
    CTarvoDlg& page = m_dlg.TarvoPage();
    // The page reads its edits and tells the user of a long-press time that is no number.
    if (!page.UpdateData(true)) {
        return;
    }
    const KeyConfigFields fields = page.Fields();
    if (const std::optional<KeyConfigRefusal> refusal = CheckKeyConfig(fields)) {
        Tell(RefusalText(*refusal));
        return;
    }
    PlannedKeyConfig config;
    config.shortLong = fields.shortLong;
    config.longPressMs = fields.longPressMs;
    config.pressHex = fields.pressHex;
    config.releaseHex = fields.releaseHex;
    config.serial = *fields.serialFormat;
    std::u16string text;
    for (const auto& [utf16, hex, utf8, codes] :
         {std::tie(fields.pressText, fields.pressHex, config.pressText, config.pressCodes),
          std::tie(fields.releaseText, fields.releaseHex, config.releaseText,
                   config.releaseCodes)}) {
        if (const Refusal why = TakeCodes(Utf8(utf16), hex, &text, &codes)) {
            ShowMessageBox(*why, kAppName, MB_OK | MB_ICONWARNING);
            return;
        }
        utf8 = Utf8(text);
    }
    m_model.SetKeyConfig(row, config);
}

void CProjectWindow::OnLoadToPage() {
    const PlannedDevice* planned = SelectedPanel();
    if (!planned) {
        return;
    }
    if (!planned->keyConfig) {
        Tell("这个面板没有计划的配置!");
        return;
    }
    // The page is shown as a click on its tab shows it.
    m_dlg.RunUseModel(DeviceModel::Tarvo);
    m_dlg.TarvoPage().ShowFields(planned->keyConfig->Fields());
}

// --- Runs.

bool CProjectWindow::MayRun(bool needsPlan) {
    if (Running()) {
        return false;
    }
    if (!m_dlg.PortOpen()) {
        Tell("请先打开串口!");
        return false;
    }
    if (m_dlg.KeyConfigWriter().Running()) {
        Tell("写入正在进行，请稍候!");
        return false;
    }
    if (needsPlan && m_model.Plan().devices.empty()) {
        Tell("计划中没有设备!");
        return false;
    }
    return true;
}

void CProjectWindow::OnCapture() {
    if (!MayRun(false)) {
        return;
    }
    ProjectPlan plan;
    plan.line = m_dlg.PanelLine();
    std::vector<DeviceModel> models;
    for (const DeviceModelInfo& info : kDeviceModels) {
        models.push_back(info.model);
    }
    auto run = std::make_unique<SurveyRun>(m_bus, RunTiming::For(plan.line, kRunWait), plan,
                                           SurveyRun::Mode::Capture, models);
    m_survey = run.get();
    StartRun(RunKind::Capture, std::move(run));
}

void CProjectWindow::OnCheck() {
    if (MayRun(true)) {
        StartRun(RunKind::Check,
                 std::make_unique<SurveyRun>(m_bus, RunTiming::For(m_dlg.PanelLine(), kRunWait),
                                             m_model.Plan(), SurveyRun::Mode::Check));
    }
}

void CProjectWindow::OnApply() {
    if (MayRun(true)) {
        StartRun(RunKind::Apply,
                 std::make_unique<SurveyRun>(m_bus, RunTiming::For(m_dlg.PanelLine(), kRunWait),
                                             m_model.Plan(), SurveyRun::Mode::Apply));
    }
}

void CProjectWindow::OnResolve() {
    if (MayRun(true)) {
        StartRun(RunKind::Resolve,
                 std::make_unique<ResolveRun>(m_bus, RunTiming::For(m_dlg.PanelLine(), kRunWait),
                                              m_model.Plan()));
    }
}

void CProjectWindow::OnIdentify() {
    if (Running()) {
        return;
    }
    const PlannedDevice* planned = SelectedPanel();
    if (!planned || !MayRun(false)) {
        return;
    }
    StartRun(RunKind::Identify,
             std::make_unique<IdentifyRun>(m_bus, RunTiming::For(m_dlg.PanelLine(), kRunWait),
                                           planned->address, kIdentifyDuration));
}

void CProjectWindow::StartRun(RunKind kind, std::unique_ptr<ProjectRun> run) {
    m_kind = kind;
    m_run = std::move(run);
    m_stopping = false;
    m_portFailure.clear();
    m_dlg.BeginProjectRun(this);
    UpdateButtons();
    m_run->Start(Clock::now());
    Reschedule();
}

void CProjectWindow::OnStop() {
    if (!m_run || m_stopping) {
        return;
    }
    m_stopping = true;
    m_run->Stop(Clock::now());
    UpdateButtons();
    Reschedule();
}

void CProjectWindow::Reschedule() {
    if (!m_run) {
        return;
    }
    UpdateProgress();
    if (m_run->Done()) {
        // The run is finished on the next turn of the event loop, never inside the handling
        // of the bytes that finished it.
        m_wake.start(0);
        return;
    }
    milliseconds wait = kLongestWait;
    if (const std::optional<ProjectRun::Time> wake = m_run->WakeAt()) {
        wait = std::clamp(std::chrono::ceil<milliseconds>(*wake - Clock::now()), milliseconds(0),
                          kLongestWait);
    }
    m_wake.start(wait);
}

void CProjectWindow::OnWake() {
    if (!m_run) {
        return;
    }
    if (!m_run->Done()) {
        m_run->OnTime(Clock::now());
    }
    if (m_run->Done()) {
        FinishRun();
        return;
    }
    Reschedule();
}

void CProjectWindow::OnPortFailed(int errorNumber) {
    if (!m_run || m_run->Done()) {
        return;
    }
    const std::string why = SystemErrorText(errorNumber);
    m_portFailure = QString::fromStdString(why);
    m_run->OnPortFailure(why, Clock::now());
    Reschedule();
}

void CProjectWindow::UpdateProgress() {
    const RunProgress& p = m_run->Progress();
    m_progress->setRange(0, static_cast<int>(std::max<std::size_t>(p.total, 1)));
    m_progress->setValue(static_cast<int>(std::min(p.done, std::max<std::size_t>(p.total, 1))));
    QString text = ActivityWord(p.activity);
    if (p.model) {
        text += QLatin1Char(' ') + QString::fromUtf8(ModelInfo(*p.model).title);
    }
    if (p.address) {
        text += QStringLiteral(" 地址 %1").arg(*p.address);
    }
    const std::size_t left = p.total > p.done ? p.total - p.done : 0;
    text += QStringLiteral("，剩余 %1 项").arg(left);
    if (m_stopping) {
        text = QStringLiteral("正在停止：") + text;
    }
    m_status->setText(text);
}

void CProjectWindow::FinishRun() {
    m_wake.stop();
    std::unique_ptr<ProjectRun> run = std::move(m_run);
    m_lastReport = run->Report();
    if (m_kind == RunKind::Capture && m_survey && m_lastReport.interrupted.empty()) {
        // The captured plan keeps the labels the installer gave devices still found.
        ProjectPlan captured = m_survey->Captured();
        for (PlannedDevice& d : captured.devices) {
            if (const PlannedDevice* old = m_model.Plan().Find(d.model, d.address)) {
                d.label = old->label;
            }
        }
        // What was captured is the plan now: its devices are planned ones.
        for (DeviceReport& d : m_lastReport.devices) {
            d.planned = captured.Find(d.model, d.address) != nullptr;
            if (d.planned) {
                d.label = captured.Find(d.model, d.address)->label;
            }
        }
        m_model.SetPlan(std::move(captured));
    }
    m_survey = nullptr;
    run.reset();  // before the session is given back: a resolve returns the counter
    m_bus.StopAutoAssign();
    m_dlg.EndProjectRun();
    if (m_kind != RunKind::Identify) {
        m_model.SetReport(m_lastReport);
    }
    m_progress->setValue(m_progress->maximum());
    QString end = m_lastReport.interrupted.empty() ? QStringLiteral("完成")
                  : m_lastReport.interrupted == "stopped"
                      ? QStringLiteral("已停止")
                      : QStringLiteral("串口故障：") + m_portFailure;
    m_status->setText(end);
    m_stopping = false;
    UpdateButtons();
    emit RunFinished();
}

void CProjectWindow::AbandonRun() {
    if (!m_run) {
        return;
    }
    m_wake.stop();
    m_run.reset();
    m_survey = nullptr;
    m_bus.StopAutoAssign();
    m_dlg.EndProjectRun();
    m_stopping = false;
    UpdateButtons();
    emit RunFinished();
}

void CProjectWindow::OnRunFrame(const std::uint8_t* frame) {
    if (m_run && !m_run->Done()) {
        m_run->OnFrame(frame, Clock::now());
        Reschedule();
    }
}

void CProjectWindow::OnRunConfig(std::uint8_t source, const TarvoConfigBlock& block) {
    if (m_run && !m_run->Done()) {
        m_run->OnConfig(source, block, Clock::now());
        Reschedule();
    }
}

void CProjectWindow::OnRunAddressHandedOut(const std::uint8_t* request, std::uint8_t address) {
    if (m_run && !m_run->Done()) {
        m_run->OnAddressHandedOut(request, address, Clock::now());
        Reschedule();
    }
}
