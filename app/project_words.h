#pragma once
// The project window's words for what a run found: the status of a device, the fields of a
// key configuration, a difference, and a panel's planned configuration in a sentence. The
// table, the report PDF and its CSV all say it the same way.

#include <QColor>
#include <QString>
#include <optional>
#include <vector>

#include "project/project_plan.h"
#include "project/project_report.h"

// "正常", "缺失", "多余", "地址冲突", "配置不同", "写入失败".
QString StatusText(DeviceStatus status);
// The colour a status row is tinted with; it repeats the text, never replaces it.
QColor StatusColour(DeviceStatus status);
// "长按时间" for long_press_ms, and so on; the name itself for one it does not know.
QString FieldWord(const std::string& field);
// A run's note in the window's words ("written and verified": "已写入并核对"); a note it has
// no words for stays as the run wrote it.
QString NoteText(const std::string& note);
// "长按时间：计划 800，实际 1500；..." or the run's note when nothing differs.
QString DifferencesText(const std::vector<FieldDifference>& differences, const std::string& note);
// "长短按模式，长按 800 ms；第一组 01 02 0A（16进制）；第二组 无；设备串口 9600，8，1，NONE".
QString KeyConfigInWords(const PlannedKeyConfig& config);
// "9600，8，1，NONE".
QString LineInWords(const ProjectLine& line);
// "54 A0 00 01, 54 A0 00 02".
QString IdentitiesText(const std::vector<DeviceIdentity>& identities);
