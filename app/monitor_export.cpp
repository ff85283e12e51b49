#include "app/monitor_export.h"

#include <QStringList>
#include <functional>

#include "app/device_table_model.h"
#include "app/whole_file.h"

namespace {

bool WriteWhole(const QString& path, const std::function<void(QByteArray&)>& fill, QString* error) {
    QByteArray text;
    fill(text);
    return SaveWhole(path, text, error);
}

void AppendLine(QByteArray& out, const QStringList& fields, const QString& separator) {
    out += fields.join(separator).toUtf8();
    out += '\n';
}

}  // namespace

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool ExportFramesText(const QString& path, const std::deque<MonitorRow>& rows, QString* error) {
    return WriteWhole(
        path,
        [&](QByteArray& out) {
            for (const MonitorRow& row : rows) {
                AppendLine(out, {RowIsoTime(row), RowDirection(row), RowHex(row), RowDecode(row)},
                           QStringLiteral("\t"));
            }
        },
        error);
}

bool ExportFramesCsv(const QString& path, const std::deque<MonitorRow>& rows, QString* error) {
    return WriteWhole(
        path,
        [&](QByteArray& out) {
            out += kUtf8Bom;
            AppendLine(out,
                       {QStringLiteral("时间"), QStringLiteral("自打开(ms)"),
                        QStringLiteral("方向"), QStringLiteral("字节"), QStringLiteral("说明")},
                       QStringLiteral(","));
            for (const MonitorRow& row : rows) {
                AppendLine(out,
                           {RowIsoTime(row), RowTime(row), RowDirection(row), RowHex(row),
                            CsvField(RowDecode(row))},
                           QStringLiteral(","));
            }
        },
        error);
}

bool ExportDevicesCsv(const QString& path, const CDeviceTableModel& devices, QString* error) {
    return WriteWhole(
        path,
        [&](QByteArray& out) {
            out += kUtf8Bom;
            QStringList header;
            for (int c = 0; c < CDeviceTableModel::kColumns; ++c) {
                header << devices.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            }
            AppendLine(out, header, QStringLiteral(","));
            for (const SeenDevice& d : devices.Devices()) {
                QStringList fields;
                for (int c = 0; c < CDeviceTableModel::kColumns; ++c) {
                    fields << CsvField(devices.Text(d, c));
                }
                AppendLine(out, fields, QStringLiteral(","));
            }
        },
        error);
}
