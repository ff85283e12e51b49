#pragma once
// Files the window writes for the user (the monitor's exports, the hand-over report): whole or
// not at all, so a reader never sees half a file and a failed write leaves the old one as it was.

#include <QByteArray>
#include <QString>

// UTF-8 byte order mark: spreadsheet programs then read the Chinese texts of a CSV right.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Writes `bytes` to `path` through a file beside it that replaces it once complete; false with
// *error set to the reason when anything fails.
bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error);
