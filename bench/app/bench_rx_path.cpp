// Receive path of the main dialog with the log live: 1 MiB of bytes through OnSerialRxByte on a
// real (offscreen) CRavlinDlg, with events processed along the way so the log widget really
// catches up. Prints the rate and checks the log's final text against the 400-line rule,
// computed here on its own. Last line: bytes_per_s: N

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/ravlin_app.h"
#include "app/ravlin_dlg.h"
#include "platform/qt_dialog_builder.h"
#include "res/resource.h"

namespace {

constexpr std::size_t kBytes = 1 << 20;
// Bytes between two turns of the event loop. Each turn also makes the log catch up, which is
// more widget work than the refresh timer alone asks for (at 2 MB/s the timer would see ~33 KB
// per refresh): the figure is on the safe side.
constexpr std::size_t kEventsEvery = 2048;

std::vector<std::uint8_t> MakeStream() {
    std::vector<std::uint8_t> bytes(kBytes);
    std::uint32_t x = 0x12345678u;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

// What the log must show after `bytes`: it holds at most 400 full lines and one more token, so
// it restarts every 400 * perLine + 1 tokens and keeps the last, possibly partial, stretch.
QString ExpectedLog(const std::vector<std::uint8_t>& bytes, int perLine) {
    const std::size_t cap = 400 * static_cast<std::size_t>(perLine) + 1;
    const std::size_t kept = bytes.size() - cap * ((bytes.size() - 1) / cap);
    QString text;
    char token[4];
    for (std::size_t i = bytes.size() - kept; i < bytes.size(); ++i) {
        std::snprintf(token, sizeof token, "%02X ", bytes[i]);
        text += QLatin1String(token);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    InitRavlinResources();
    CRavlinDlg dlg;
    dlg.Create();
    dlg.show();
    QCoreApplication::processEvents();

    const std::vector<std::uint8_t> bytes = MakeStream();
    int catchUps = 0;
    QElapsedTimer timer;
    timer.start();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        dlg.OnSerialRxByte(bytes[i], 901);
        if ((i + 1) % kEventsEvery == 0) {
            QCoreApplication::processEvents();
            dlg.Log().Flush();
            ++catchUps;
        }
    }
    dlg.Log().Flush();
    QCoreApplication::processEvents();
    const qint64 ns = timer.nsecsElapsed();

    const int perLine = dlg.Log().TokensPerLine();
    const QString expected = ExpectedLog(bytes, perLine);
    const auto* edit = qobject_cast<QPlainTextEdit*>(FindControl(&dlg, IDC_LOG));
    const bool textOk = dlg.Log().Text() == expected;
    const bool widgetOk = edit && edit->toPlainText() == expected;
    const double seconds = static_cast<double>(ns) / 1e9;

    std::printf("bytes: %zu\n", bytes.size());
    std::printf("tokens_per_line: %d\n", perLine);
    std::printf("displayed_lines_at_end: %d\n", dlg.Log().DisplayedLines());
    std::printf("widget_catch_ups: %d\n", catchUps);
    std::printf("seconds: %.3f\n", seconds);
    std::printf("us_per_byte: %.3f\n", seconds * 1e6 / static_cast<double>(bytes.size()));
    std::printf("log_text_matches_rule: %s\n", textOk ? "yes" : "NO");
    std::printf("widget_matches_log: %s\n", widgetOk ? "yes" : "NO");
    std::printf("bytes_per_s: %.0f\n", static_cast<double>(bytes.size()) / seconds);
    return textOk && widgetOk ? 0 : 1;
}
