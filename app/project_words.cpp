#include "app/project_words.h"

#include <QRegularExpression>
#include <QStringList>
#include <utility>

#include "bus/line_settings.h"

namespace {

QString ListWord(unsigned index, const auto& words) {
    return index < words.size() ? QString::fromUtf8(words[index]) : QString::number(index);
}

QString DataBitsText(unsigned index) {
    return index < kDataBits.size() ? QString::number(kDataBits[index]) : QString::number(index);
}

QString CodesWord(const std::string& text, bool hex) {
    const QString codes = QString::fromStdString(text).trimmed();
    if (codes.isEmpty()) {
        return QStringLiteral("无");
    }
    return codes + (hex ? QStringLiteral("（16进制）") : QStringLiteral("（字符）"));
}

}  // namespace

QString StatusText(DeviceStatus status) {
    switch (status) {
        case DeviceStatus::Ok:
            return QStringLiteral("正常");
        case DeviceStatus::Missing:
            return QStringLiteral("缺失");
        case DeviceStatus::Unexpected:
            return QStringLiteral("多余");
        case DeviceStatus::Clash:
            return QStringLiteral("地址冲突");
        case DeviceStatus::Differs:
            return QStringLiteral("配置不同");
        case DeviceStatus::Failed:
            return QStringLiteral("写入失败");
    }
    return {};
}

QColor StatusColour(DeviceStatus status) {
    switch (status) {
        case DeviceStatus::Ok:
            return QColor(0xDF, 0xF3, 0xDF);
        case DeviceStatus::Missing:
        case DeviceStatus::Unexpected:
            return QColor(0xFF, 0xF1, 0xC8);
        case DeviceStatus::Differs:
            return QColor(0xFF, 0xE0, 0xC0);
        case DeviceStatus::Clash:
        case DeviceStatus::Failed:
            return QColor(0xF8, 0xD0, 0xD0);
    }
    return {};
}

QString FieldWord(const std::string& field) {
    static const std::pair<const char*, const char*> kWords[] = {{"key_mode", "按键模式"},
                                                                 {"long_press_ms", "长按时间"},
                                                                 {"press_codes", "第一组功能码"},
                                                                 {"release_codes", "第二组功能码"},
                                                                 {"baud", "波特率"},
                                                                 {"data_bits", "数据位"},
                                                                 {"stop_bits", "停止位"},
                                                                 {"parity", "校验"}};
    for (const auto& [name, word] : kWords) {
        if (field == name) {
            return QString::fromUtf8(word);
        }
    }
    return QString::fromStdString(field);
}

QString NoteText(const std::string& note) {
    // Longest first, so that a phrase inside a longer one is not taken for it.
    static const std::pair<const char*, const char*> kPhrases[] = {
        {"configuration written; no reply to the read-back", "配置已写入；读回无回复"},
        {"configuration written; the read-back differs", "配置已写入；读回仍不同"},
        {"written; no configuration reply afterwards", "已写入；之后无配置回复"},
        {"written; the read-back still differs", "已写入；读回仍不同"},
        {"configuration written and verified", "配置已写入并核对"},
        {"written and verified", "已写入并核对"},
        {"no configuration reply", "无配置回复"},
        {"not checked", "未检查"},
        {"not read back", "未读回"}};
    QString text = QString::fromStdString(note);
    for (const auto& [english, chinese] : kPhrases) {
        text.replace(QString::fromUtf8(english), QString::fromUtf8(chinese));
    }
    static const std::pair<const char*, const char*> kPatterns[] = {
        {R"(planned identity ([0-9A-F ]+))", "计划身份 \\1"},
        {R"(not moved to (\d+) \(stopped\))", "未移到地址 \\1（已停止）"},
        {R"(moved from (\d+))", "由地址 \\1 移来"},
        {R"((\d) of 4 frames written)", "4 帧中写入 \\1 帧"}};
    for (const auto& [pattern, chinese] : kPatterns) {
        text.replace(QRegularExpression(QString::fromUtf8(pattern)), QString::fromUtf8(chinese));
    }
    return text;
}

QString DifferencesText(const std::vector<FieldDifference>& differences, const std::string& note) {
    if (differences.empty()) {
        return NoteText(note);
    }
    QStringList parts;
    for (const FieldDifference& d : differences) {
        parts << QStringLiteral("%1：计划 %2，实际 %3")
                     .arg(FieldWord(d.field), QString::fromStdString(d.planned.Show()),
                          QString::fromStdString(d.found.Show()));
    }
    return parts.join(QStringLiteral("；"));
}

QString KeyConfigInWords(const PlannedKeyConfig& c) {
    return QStringLiteral("%1，长按 %2 ms；第一组 %3；第二组 %4；设备串口 %5，%6，%7，%8")
        .arg(c.shortLong ? QStringLiteral("长短按模式") : QStringLiteral("按下弹起模式"))
        .arg(c.longPressMs)
        .arg(CodesWord(c.pressText, c.pressHex), CodesWord(c.releaseText, c.releaseHex))
        .arg(c.serial.baud)
        .arg(DataBitsText(c.serial.dataBitsIndex), ListWord(c.serial.stopBitsIndex, kStopBitsTexts),
             ListWord(c.serial.parityIndex, kParityTexts));
}

QString LineInWords(const ProjectLine& line) {
    return QStringLiteral("%1，%2，%3，%4")
        .arg(line.baud)
        .arg(DataBitsText(line.dataBitsIndex), ListWord(line.stopBitsIndex, kStopBitsTexts),
             ListWord(line.parityIndex, kParityTexts));
}

QString IdentitiesText(const std::vector<DeviceIdentity>& identities) {
    QStringList parts;
    for (const DeviceIdentity& id : identities) {
        parts << QString::fromStdString(FormatIdentity(id));
    }
    return parts.join(QStringLiteral(", "));
}
