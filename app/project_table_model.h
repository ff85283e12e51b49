#pragma once
// CProjectTableModel: the project window's table "设备计划". It holds the plan of the bus and
// what the last run found, one row per device: every planned device, then every device a run
// found that the plan lacks. Columns 标签, 型号, 地址, 身份, 状态, 差异. The status is text; the
// row's tint and the status cell's icon repeat it. The label and the address of a planned
// device are edited in the table; an edit takes the row's status away, since the last run no
// longer speaks for it.

#include <QAbstractTableModel>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "project/project_plan.h"
#include "project/project_report.h"

struct ProjectRow {
    int planIndex = -1;  // the device's index in the plan; -1 for one the plan lacks
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t address = 0;
    std::string label;
    std::vector<DeviceIdentity> identities;
    std::optional<DeviceStatus> status;  // nothing until a run spoke for the device
    std::vector<FieldDifference> differences;
    std::string note;
};

class CProjectTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kLabel, kModel, kAddress, kIdentity, kStatus, kDifference, kColumns };

    explicit CProjectTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A label; an address of 1..255 that no other planned device of the model has.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // A new plan, with no run's findings.
    void SetPlan(ProjectPlan plan);
    // What a run found, held against the plan.
    void SetReport(const ProjectReport& report);
    // A planned panel's key configuration (from the TARVO page).
    void SetKeyConfig(int row, const PlannedKeyConfig& config);

    const ProjectPlan& Plan() const { return m_plan; }
    void SetLine(const ProjectLine& line) { m_plan.line = line; }
    const std::vector<ProjectRow>& Rows() const { return m_rows; }
    // The planned device of `row`; nullptr for a found one the plan lacks.
    const PlannedDevice* Planned(int row) const;
    // The text of a cell, as the table shows it.
    QString Text(const ProjectRow& row, int column) const;
    // How many rows have each status.
    std::array<std::size_t, kDeviceStatusCount> Summary() const;

private:
    void RowsFromPlan();

    ProjectPlan m_plan;
    std::vector<ProjectRow> m_rows;
};
