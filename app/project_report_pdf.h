#pragma once
// The hand-over report of a commissioning project: a PDF written with Qt's own PDF writer, and
// a CSV of the same table beside it (same name, ".csv"). The PDF holds the project's name, the
// date and time, the port and its line settings, how many devices have each status, and one
// row per device: label, model, address, identity, status, and for a TARVO panel its planned
// key configuration in words (with the fields a check found different). Each file is written
// whole or not at all: it is made in memory and replaces the file only once all of it is on
// the disk; the CSV is written only when the PDF was.

#include <QDateTime>
#include <QString>

#include "project/project_plan.h"

class CProjectTableModel;

struct ReportHeading {
    QString projectName;
    QDateTime when;
    QString port;
    ProjectLine line;
};

// The CSV's path beside `pdfPath`: its suffix replaced by ".csv".
QString ReportCsvPath(const QString& pdfPath);

// Writes both files; false with *error set (in words) when either failed.
bool WriteProjectReport(const QString& pdfPath, const ReportHeading& heading,
                        const CProjectTableModel& table, QString* error);
