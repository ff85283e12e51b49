#include "app/project_report_pdf.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <array>
#include <optional>

#include "app/monitor_export.h"
#include "app/project_table_model.h"
#include "app/project_words.h"
#include "app/whole_file.h"

namespace {

constexpr int kColumns = 6;
// Share of the width of each column: 标签, 型号, 地址, 身份, 状态, 配置.
constexpr std::array<double, kColumns> kShares = {0.17, 0.08, 0.05, 0.20, 0.10, 0.40};

// SaveWhole, with the file named in the reason.
bool SaveReportFile(const QString& path, const QByteArray& bytes, QString* error) {
    if (SaveWhole(path, bytes, error)) {
        return true;
    }
    if (error) {
        *error = path + QStringLiteral(": ") + *error;
    }
    return false;
}

// The sixth column: a panel's planned configuration, and what a check found different.
QString ConfigCell(const CProjectTableModel& table, int row) {
    const ProjectRow& r = table.Rows()[static_cast<std::size_t>(row)];
    QStringList parts;
    if (const PlannedDevice* planned = table.Planned(row); planned && planned->keyConfig) {
        parts << KeyConfigInWords(*planned->keyConfig);
    }
    if (const QString diff = DifferencesText(r.differences, r.note); !diff.isEmpty()) {
        parts << (r.differences.empty() ? diff : QStringLiteral("差异：") + diff);
    }
    return parts.join(QLatin1Char('\n'));
}

QStringList Cells(const CProjectTableModel& table, int row) {
    const ProjectRow& r = table.Rows()[static_cast<std::size_t>(row)];
    QString status = table.Text(r, CProjectTableModel::kStatus);
    if (status.isEmpty()) {
        status = QStringLiteral("未检查");
    }
    return {table.Text(r, CProjectTableModel::kLabel),
            table.Text(r, CProjectTableModel::kModel),
            table.Text(r, CProjectTableModel::kAddress),
            table.Text(r, CProjectTableModel::kIdentity),
            status,
            ConfigCell(table, row)};
}

QString SummaryLine(const CProjectTableModel& table) {
    const auto counts = table.Summary();
    QStringList parts;
    parts << QStringLiteral("设备 %1 台").arg(table.Rows().size());
    for (std::size_t i = 0; i < kDeviceStatusCount; ++i) {
        parts
            << QStringLiteral("%1 %2").arg(StatusText(static_cast<DeviceStatus>(i))).arg(counts[i]);
    }
    std::size_t unchecked = table.Rows().size();
    for (const std::size_t n : counts) {
        unchecked -= n;
    }
    if (unchecked > 0) {
        parts << QStringLiteral("未检查 %1").arg(unchecked);
    }
    return parts.join(QStringLiteral("　"));
}

class PdfSheet {
public:
    PdfSheet(QPdfWriter& writer, QPainter& painter) : m_writer(writer), m_p(painter) {
        m_width = m_p.viewport().width();
        m_height = m_p.viewport().height();
        m_pad = m_writer.resolution() / 24;
    }

    void Text(const QString& text, const QFont& font) {
        m_p.setFont(font);
        const QRect r = m_p.boundingRect(QRect(0, m_y, m_width, m_height), Qt::TextWordWrap, text);
        NeedRoom(r.height());
        m_p.drawText(QRect(0, m_y, m_width, r.height()), Qt::TextWordWrap, text);
        m_y += r.height() + m_pad;
    }

    void Gap() { m_y += m_pad * 3; }

    // One row of the table; `shade` behind it, the status cell tinted with `statusColour`.
    void Row(const QStringList& cells, const QFont& font, const QColor& shade,
             const QColor& statusColour, bool header) {
        m_p.setFont(font);
        std::array<int, kColumns> widths{};
        int height = 0;
        for (int c = 0; c < kColumns; ++c) {
            widths[static_cast<std::size_t>(c)] =
                static_cast<int>(m_width * kShares[static_cast<std::size_t>(c)]);
            m_p.setFont(c == 3 && !header ? m_monoFont : font);
            const QRect r = m_p.boundingRect(
                QRect(0, 0, widths[static_cast<std::size_t>(c)] - 2 * m_pad, m_height),
                Qt::TextWordWrap, cells.value(c));
            height = std::max(height, r.height());
        }
        height += 2 * m_pad;
        if (!NeedRoom(height) && !header && m_header) {
            Row(*m_header, m_headerFont, QColor(0xE4, 0xE4, 0xE4), QColor(), true);
        }
        int x = 0;
        for (int c = 0; c < kColumns; ++c) {
            const int w = widths[static_cast<std::size_t>(c)];
            const QRect cell(x, m_y, w, height);
            const QColor fill = c == 4 && statusColour.isValid() ? statusColour : shade;
            if (fill.isValid()) {
                m_p.fillRect(cell, fill);
            }
            m_p.setPen(QColor(0xB0, 0xB0, 0xB0));
            m_p.drawRect(cell);
            m_p.setPen(Qt::black);
            m_p.setFont(c == 3 && !header ? m_monoFont : font);
            m_p.drawText(cell.adjusted(m_pad, m_pad, -m_pad, -m_pad), Qt::TextWordWrap,
                         cells.value(c));
            x += w;
        }
        m_y += height;
    }

    // The font of the identity column: hexadecimal bytes line up.
    void SetMonoFont(const QFont& font) { m_monoFont = font; }

    void SetHeader(const QStringList& header, const QFont& font) {
        m_header = header;
        m_headerFont = font;
    }

private:
    // Starts a new page when `height` does not fit on this one; false when it did.
    bool NeedRoom(int height) {
        if (m_y + height <= m_height || m_y == 0) {
            return true;
        }
        m_writer.newPage();
        m_y = 0;
        return false;
    }

    QPdfWriter& m_writer;
    QPainter& m_p;
    int m_width = 0;
    int m_height = 0;
    int m_pad = 0;
    int m_y = 0;
    std::optional<QStringList> m_header;
    QFont m_headerFont;
    QFont m_monoFont;
};

QByteArray MakePdf(const ReportHeading& heading, const CProjectTableModel& table) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("调试报告 ") + heading.projectName);
    writer.setCreator(QStringLiteral("Ravlin"));
    QPainter painter(&writer);

    QFont body(QStringLiteral("Noto Sans CJK SC"));
    body.setPointSizeF(8.5);
    QFont bold = body;
    bold.setBold(true);
    QFont title = body;
    title.setPointSizeF(16);
    title.setBold(true);

    QFont mono(QStringLiteral("Noto Sans Mono CJK SC"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(8.5);

    PdfSheet sheet(writer, painter);
    sheet.SetMonoFont(mono);
    sheet.Text(QStringLiteral("调试报告：") + heading.projectName, title);
    sheet.Text(
        QStringLiteral("日期：") + heading.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        body);
    sheet.Text(QStringLiteral("串口：%1　线路：%2")
                   .arg(heading.port.isEmpty() ? QStringLiteral("—") : heading.port,
                        LineInWords(heading.line)),
               body);
    sheet.Text(QStringLiteral("汇总：") + SummaryLine(table), bold);
    sheet.Gap();

    const QStringList header = {QStringLiteral("标签"), QStringLiteral("型号"),
                                QStringLiteral("地址"), QStringLiteral("身份"),
                                QStringLiteral("状态"), QStringLiteral("配置")};
    sheet.SetHeader(header, bold);
    sheet.Row(header, bold, QColor(0xE4, 0xE4, 0xE4), QColor(), true);
    for (int row = 0; row < static_cast<int>(table.Rows().size()); ++row) {
        const ProjectRow& r = table.Rows()[static_cast<std::size_t>(row)];
        QStringList cells = Cells(table, row);
        // One identity a line: a clash lists each device's.
        cells[3].replace(QStringLiteral(", "), QStringLiteral("\n"));
        sheet.Row(cells, body, row % 2 ? QColor(0xF6, 0xF6, 0xF6) : QColor(),
                  r.status ? StatusColour(*r.status) : QColor(), false);
    }
    painter.end();
    return bytes;
}

QByteArray MakeCsv(const CProjectTableModel& table) {
    QByteArray out = kUtf8Bom;
    const auto line = [&](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) {
            quoted << CsvField(f);
        }
        out += quoted.join(QLatin1Char(',')).toUtf8();
        out += '\n';
    };
    line({QStringLiteral("标签"), QStringLiteral("型号"), QStringLiteral("地址"),
          QStringLiteral("身份"), QStringLiteral("状态"), QStringLiteral("配置")});
    for (int row = 0; row < static_cast<int>(table.Rows().size()); ++row) {
        QStringList cells = Cells(table, row);
        cells[5].replace(QLatin1Char('\n'), QStringLiteral("；"));
        line(cells);
    }
    return out;
}

}  // namespace

QString ReportCsvPath(const QString& pdfPath) {
    const QFileInfo info(pdfPath);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".csv");
}

bool WriteProjectReport(const QString& pdfPath, const ReportHeading& heading,
                        const CProjectTableModel& table, QString* error) {
    const QByteArray pdf = MakePdf(heading, table);
    if (pdf.isEmpty()) {
        if (error) {
            *error = QStringLiteral("PDF 生成失败");
        }
        return false;
    }
    return SaveReportFile(pdfPath, pdf, error) &&
           SaveReportFile(ReportCsvPath(pdfPath), MakeCsv(table), error);
}
