#pragma once
// The bus monitor's exports, the installer's as-built record: the frames as text (one row a
// line: ISO time, direction, hex, decode, separated by tabs) or as CSV, and the device table as
// CSV. A file is written whole or not at all: the text goes to a temporary file beside it,
// which replaces the file only once everything was written.

#include <QString>
#include <deque>

#include "app/frame_table_model.h"

class CDeviceTableModel;

// Each returns true on success; otherwise *error says why, in words.
bool ExportFramesText(const QString& path, const std::deque<MonitorRow>& rows, QString* error);
bool ExportFramesCsv(const QString& path, const std::deque<MonitorRow>& rows, QString* error);
bool ExportDevicesCsv(const QString& path, const CDeviceTableModel& devices, QString* error);

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled.
QString CsvField(const QString& text);
