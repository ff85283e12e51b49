#pragma once
// CProjectWindow: the commissioning project "调试项目", a separate non-modal window of the main
// dialog. The plan of the bus in a table ("设备计划": 标签, 型号, 地址, 身份, 状态, 差异), edited
// in place (label, address) and with the TARVO page as the one editor of a panel's key
// configuration ("从页面取配置", "载入到页面"); the file buttons "新建", "打开...", "保存"; the
// runs "采集", "检查", "写入差异", "解决冲突", "闪烁" with a progress bar and "停止"; and the
// hand-over report "导出报告..." (PDF and CSV).
//
// A run is the project engine's own step machine (project/project_run.h), driven on the UI
// thread by what arrives (the main dialog hands each frame, configuration reply and address
// handed out to this window) and by a single-shot timer set to the run's next wake-up; nothing
// ever waits on the UI thread. While a run goes on the main dialog holds its sending controls,
// and shows the run's frames as it shows those of the installer's clicks.

#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/project_table_model.h"
#include "app/run_listener.h"
#include "app/window_project_bus.h"
#include "project/project_report.h"
#include "project/project_run.h"

class CRavlinDlg;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class SurveyRun;

// Control numbers of the project window (property controlId, as on the dialogs).
inline constexpr int IDC_PRJ_TABLE = 2101;
inline constexpr int IDC_PRJ_NEW = 2102;
inline constexpr int IDC_PRJ_OPEN = 2103;
inline constexpr int IDC_PRJ_SAVE = 2104;
inline constexpr int IDC_PRJ_CAPTURE = 2105;
inline constexpr int IDC_PRJ_CHECK = 2106;
inline constexpr int IDC_PRJ_APPLY = 2107;
inline constexpr int IDC_PRJ_RESOLVE = 2108;
inline constexpr int IDC_PRJ_IDENTIFY = 2109;
inline constexpr int IDC_PRJ_EXPORT = 2110;
inline constexpr int IDC_PRJ_STOP = 2111;
inline constexpr int IDC_PRJ_FROM_PAGE = 2112;
inline constexpr int IDC_PRJ_TO_PAGE = 2113;
inline constexpr int IDC_PRJ_PROGRESS = 2114;
inline constexpr int IDC_PRJ_STATUS = 2115;

// How long "闪烁" lets the panel's LED flash unless stopped.
inline constexpr std::chrono::seconds kIdentifyDuration{10};

class CProjectWindow : public QWidget, private IRunListener {
    Q_OBJECT
public:
    explicit CProjectWindow(CRavlinDlg& dlg);
    ~CProjectWindow() override;

    // The main dialog closes: a run in hand ends at once and sends nothing more.
    void AbandonRun();
    bool Running() const { return m_run != nullptr; }

    CProjectTableModel& Model() { return m_model; }
    QTableView* Table() const { return m_table; }
    QProgressBar* Progress() const { return m_progress; }
    // The report of the last run that ended.
    const ProjectReport& LastReport() const { return m_lastReport; }
    const QString& FileName() const { return m_fileName; }

    // What the file buttons do once their file dialog named the file; false when it failed
    // (the user was told).
    bool OpenFile(const QString& path);
    bool SaveFile(const QString& path);
    bool ExportReport(const QString& pdfPath);

signals:
    // A run ended (done, stopped or abandoned).
    void RunFinished();

private:
    enum class RunKind { Capture, Check, Apply, Resolve, Identify };

    void OnNew();
    void OnOpen();
    void OnSave();
    void OnExport();
    void OnCapture();
    void OnCheck();
    void OnApply();
    void OnResolve();
    void OnIdentify();
    void OnStop();
    void OnTakeFromPage();
    void OnLoadToPage();

    // Checks that a run may start (port open, no other sender, a plan where one is needed).
    bool MayRun(bool needsPlan);
    void StartRun(RunKind kind, std::unique_ptr<ProjectRun> run);
    // After every event fed to the run: the progress, and the timer at its next wake-up.
    void Reschedule();
    void OnWake();
    // The engine reported that the open port failed: the run ends at once and says so.
    void OnPortFailed(int errorNumber);
    void FinishRun();
    void UpdateButtons();
    void UpdateProgress();
    void UpdateTitle();
    int SelectedRow() const;
    // The planned TARVO panel of the selected row; tells the user and gives nothing otherwise.
    const PlannedDevice* SelectedPanel();

    // IRunListener
    void OnRunFrame(const std::uint8_t* frame) override;
    void OnRunConfig(std::uint8_t source, const TarvoConfigBlock& block) override;
    void OnRunAddressHandedOut(const std::uint8_t* request, std::uint8_t address) override;

    CRavlinDlg& m_dlg;
    CProjectTableModel m_model;
    QString m_fileName;
    // The bus before the run that uses it, so the run goes first.
    CWindowProjectBus m_bus;
    std::unique_ptr<ProjectRun> m_run;
    SurveyRun* m_survey = nullptr;  // m_run, for a capture
    RunKind m_kind = RunKind::Check;
    bool m_stopping = false;
    QString m_portFailure;  // the system's words for the failure that ended the run
    ProjectReport m_lastReport;
    QTimer m_wake;

    QTableView* m_table = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    std::vector<QPushButton*> m_idleButtons;  // every button but "停止"
    QPushButton* m_stop = nullptr;
};
