#include "app/project_table_model.h"

#include <QApplication>
#include <QBrush>
#include <QIcon>
#include <QStyle>

#include "app/project_words.h"

CProjectTableModel::CProjectTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int CProjectTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CProjectTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CProjectTableModel::Text(const ProjectRow& row, int column) const {
    switch (column) {
        case kLabel:
            return QString::fromStdString(row.label);
        case kModel:
            return QString::fromUtf8(ModelInfo(row.model).title);
        case kAddress:
            return QString::number(row.address);
        case kIdentity:
            return IdentitiesText(row.identities);
        case kStatus:
            return row.status ? StatusText(*row.status) : QString();
        case kDifference:
            return DifferencesText(row.differences, row.note);
        default:
            return {};
    }
}

QVariant CProjectTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const ProjectRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return Text(row, index.column());
        case Qt::EditRole:
            return index.column() == kAddress ? QVariant(int{row.address})
                                              : QVariant(Text(row, index.column()));
        case Qt::BackgroundRole:
            if (row.status) {
                return QBrush(StatusColour(*row.status));
            }
            return {};
        case Qt::ForegroundRole:
            return row.status ? QVariant(QBrush(Qt::black)) : QVariant();
        case Qt::DecorationRole:
            if (index.column() == kStatus && row.status) {
                QStyle* style = QApplication::style();
                switch (*row.status) {
                    case DeviceStatus::Ok:
                        return style->standardIcon(QStyle::SP_DialogApplyButton);
                    case DeviceStatus::Clash:
                    case DeviceStatus::Failed:
                        return style->standardIcon(QStyle::SP_MessageBoxCritical);
                    default:
                        return style->standardIcon(QStyle::SP_MessageBoxWarning);
                }
            }
            return {};
        default:
            return {};
    }
}

QVariant CProjectTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    static const char* const kHeaders[kColumns] = {"标签", "型号", "地址", "身份", "状态", "差异"};
    return section >= 0 && section < kColumns ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

Qt::ItemFlags CProjectTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && (index.column() == kLabel || index.column() == kAddress) &&
        m_rows[static_cast<std::size_t>(index.row())].planIndex >= 0) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool CProjectTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    ProjectRow& row = m_rows[static_cast<std::size_t>(index.row())];
    PlannedDevice& planned = m_plan.devices[static_cast<std::size_t>(row.planIndex)];
    if (index.column() == kLabel) {
        planned.label = value.toString().trimmed().toStdString();
        row.label = planned.label;
        emit dataChanged(index, index);
        return true;
    }
    bool ok = false;
    const int address = value.toString().trimmed().toInt(&ok);
    if (!ok || address < 1 || address > 255) {
        return false;
    }
    const auto newAddress = static_cast<std::uint8_t>(address);
    if (newAddress == planned.address) {
        return true;
    }
    if (m_plan.Find(planned.model, newAddress)) {
        return false;  // one device per model and address
    }
    planned.address = newAddress;
    row.address = newAddress;
    row.status.reset();
    row.differences.clear();
    row.note.clear();
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), kColumns - 1));
    return true;
}

void CProjectTableModel::RowsFromPlan() {
    m_rows.clear();
    for (std::size_t i = 0; i < m_plan.devices.size(); ++i) {
        const PlannedDevice& d = m_plan.devices[i];
        ProjectRow row;
        row.planIndex = static_cast<int>(i);
        row.model = d.model;
        row.address = d.address;
        row.label = d.label;
        if (d.identity) {
            row.identities.push_back(*d.identity);
        }
        m_rows.push_back(std::move(row));
    }
}

void CProjectTableModel::SetPlan(ProjectPlan plan) {
    beginResetModel();
    m_plan = std::move(plan);
    RowsFromPlan();
    endResetModel();
}

void CProjectTableModel::SetReport(const ProjectReport& report) {
    beginResetModel();
    RowsFromPlan();
    for (const DeviceReport& d : report.devices) {
        ProjectRow* row = nullptr;
        if (d.planned) {
            for (ProjectRow& r : m_rows) {
                if (r.planIndex >= 0 && r.model == d.model && r.address == d.address) {
                    row = &r;
                    break;
                }
            }
        }
        if (!row) {
            m_rows.emplace_back();
            row = &m_rows.back();
            row->model = d.model;
            row->address = d.address;
        }
        if (!d.identities.empty()) {
            row->identities = d.identities;
        }
        row->status = d.status;
        row->differences = d.differences;
        row->note = d.note;
    }
    endResetModel();
}

void CProjectTableModel::SetKeyConfig(int row, const PlannedKeyConfig& config) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) ||
        m_rows[static_cast<std::size_t>(row)].planIndex < 0) {
        return;
    }
    ProjectRow& r = m_rows[static_cast<std::size_t>(row)];
    m_plan.devices[static_cast<std::size_t>(r.planIndex)].keyConfig = config;
    // The last check was of the configuration before.
    r.status.reset();
    r.differences.clear();
    r.note.clear();
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

const PlannedDevice* CProjectTableModel::Planned(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return nullptr;
    }
    const int i = m_rows[static_cast<std::size_t>(row)].planIndex;
    return i < 0 ? nullptr : &m_plan.devices[static_cast<std::size_t>(i)];
}

std::array<std::size_t, kDeviceStatusCount> CProjectTableModel::Summary() const {
    std::array<std::size_t, kDeviceStatusCount> counts{};
    for (const ProjectRow& row : m_rows) {
        if (row.status) {
            ++counts[static_cast<std::size_t>(*row.status)];
        }
    }
    return counts;
}
