// Receive path of the main dialog with the log live: streams that look like the bus, each fed
// to a fresh, real (offscreen) CRavlinDlg through its message owner in runs of WM_SERIAL_RXBYTE
// messages, as the engine's monitor hands them over on a busy line, with the event loop turned
// after each run so the lists and the log really catch up.
//
// Streams:
//   found    20,000 found-device replies (two status lines and one device line each), past
//            the lists' 10,000-line bound, so dropping the oldest line is measured too;
//   commission  automatic assignment running, and a mix of found-device replies, address
//            requests (each answered), key-mode and function-code confirmations, 160-byte
//            configuration replies on the TARVO tab, rejected frames and stray bytes;
//   random   1 MiB of random bytes (rarely a frame); the log is checked against the 400-line
//            rule, computed here on its own.
// Each stream runs twice: with the bus monitor's recorder off, and with it recording while the
// monitor window is closed (as from the moment a port opens). For each:
// "stream: NAME recorder: off|closed bytes_per_s: N growth: G" (rates in CPU time of the UI
// thread), where G is the time of the last 1,000 units (frames, or 10-byte pieces of the random
// stream) over that of the first 1,000; the second line adds "ratio: R", its rate over the
// first's. Last line: bytes_per_s: N, the slowest stream with the recorder on.
// RAVLIN_BENCH_MONITOR=1 runs the recording line with the monitor window open instead.

#include <time.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ravlin_app.h"
#include "app/ravlin_dlg.h"
#include "bench/app/log_rule.h"
#include "platform/qt_dialog_builder.h"
#include "res/resource.h"

namespace {

using Unit = std::vector<std::uint8_t>;

constexpr std::size_t kBlock = 1000;
// Bytes of one run, after which the event loop turns. The monitor gathers what a busy line
// brings in one wake-up up to 4096 bytes; each turn also makes the log catch up, which is
// more widget work than the refresh timer alone asks for: the figure is on the safe side.
constexpr std::size_t kRunBytes = 2048;

// Exposes the dialog's command handler, so the benchmark can start automatic assignment
// without an open port.
class BenchDlg : public CRavlinDlg {
public:
    void Command(int id) { OnCommand(id); }
};

std::uint32_t g_seed = 0x12345678u;
std::uint8_t NextRandom() {
    g_seed = g_seed * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(g_seed >> 24);
}

Unit Frame(std::uint8_t type, std::uint8_t source, std::uint8_t command) {
    return {0xFA, type, 0x00, source, command, 0x00, 0x11, 0x22, 0x33, 0x44};
}

std::vector<Unit> FoundStream() {
    return std::vector<Unit>(20000, Frame(0x08, 0x05, 0xFE));
}

std::vector<Unit> CommissionStream() {
    std::vector<Unit> units;
    for (int i = 0; units.size() < 20000; ++i) {
        const auto source = static_cast<std::uint8_t>(1 + i % 250);
        units.push_back(Frame(0x09, 0x01, 0xFE));
        units.push_back(Frame(0x09, 0x01, 0x21));
        units.push_back(Frame(0x09, source, 0x26));
        units.push_back(Frame(0x09, source, 0x27));
        Unit reply = Frame(0x09, source, 0x23);
        while (reply.size() < 160) {
            reply.push_back(NextRandom());
        }
        units.push_back(reply);
        // Rejected: a type the receiver doesn't take, then a frame from the PC's own address.
        units.push_back({0xFA, 0x0A, 0x00, 0x05, 0xFE});
        units.push_back({0xFA, 0x09, 0x00, 0x00, 0xFE});
        units.push_back({0x00, 0x55, 0xAA, 0x13});  // stray bytes
    }
    return units;
}

std::vector<Unit> RandomStream() {
    std::vector<Unit> units((1 << 20) / 10);
    for (auto& unit : units) {
        unit.resize(10);
        for (auto& b : unit) {
            b = NextRandom();
        }
    }
    return units;
}

qint64 ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Result {
    double bytesPerS = 0;
    double growth = 0;
    bool ok = true;
};

enum class Recorder { Off, Closed, Open };

Result Run(const char* name, const std::vector<Unit>& units, bool autoAssign, Recorder recorder) {
    BenchDlg dlg;
    dlg.Create();
    dlg.show();
    if (recorder == Recorder::Off) {
        dlg.Recorder().SetRecording(false);
    } else {
        // As when the port opens: the recorder moves what it recorded into its models on its
        // timer.
        dlg.Recorder().PortOpening();
    }
    if (recorder == Recorder::Open) {
        dlg.OpenBusMonitor();
    }
    QCoreApplication::processEvents();
    if (autoAssign) {
        dlg.Command(IDC_AUTO_ASSIGN);
    }

    std::vector<qint64> blockNs;
    std::vector<WindowMessage> run;
    std::vector<std::uint8_t> all;
    // CPU time of this thread: what the receive path costs, whatever else the machine runs.
    const qint64 start = ThreadCpuNs();
    qint64 blockStart = start;
    for (std::size_t u = 0; u < units.size(); ++u) {
        for (const std::uint8_t b : units[u]) {
            run.push_back({WM_SERIAL_RXBYTE, b, 901});
        }
        all.insert(all.end(), units[u].begin(), units[u].end());
        if (run.size() >= kRunBytes || u + 1 == units.size()) {
            dlg.MessageOwner()->SendMessages(run.data(), run.size());
            run.clear();
            QCoreApplication::processEvents();
            dlg.Log().Flush();
        }
        if ((u + 1) % kBlock == 0) {
            const qint64 now = ThreadCpuNs();
            blockNs.push_back(now - blockStart);
            blockStart = now;
        }
    }
    dlg.Log().Flush();
    QCoreApplication::processEvents();
    const double seconds = static_cast<double>(ThreadCpuNs() - start) / 1e9;

    Result r;
    r.bytesPerS = static_cast<double>(all.size()) / seconds;
    r.growth = blockNs.size() >= 2 ? static_cast<double>(blockNs.back()) /
                                         static_cast<double>(std::max<qint64>(1, blockNs.front()))
                                   : 1.0;
    const QString expected = ExpectedLog(all, dlg.Log().TokensPerLine());
    const auto* edit = qobject_cast<QPlainTextEdit*>(FindControl(&dlg, IDC_LOG));
    const bool logOk = dlg.Log().Text() == expected && edit && edit->toPlainText() == expected;
    const auto* status = qobject_cast<QListWidget*>(FindControl(&dlg, IDC_STATUS_LIST));
    const auto* devices = qobject_cast<QListWidget*>(FindControl(&dlg, IDC_DEVICE_LIST));
    r.ok = logOk && status && devices;
    dlg.Recorder().Flush();
    const char* mode = recorder == Recorder::Off      ? "off"
                       : recorder == Recorder::Closed ? "closed"
                                                      : "open";
    std::printf(
        "stream: %s recorder: %s bytes: %zu seconds: %.3f status_lines: %d device_lines: %d "
        "log: %s monitor_rows: %d\n",
        name, mode, all.size(), seconds, status ? status->count() : -1,
        devices ? devices->count() : -1, logOk ? "ok" : "WRONG",
        dlg.Recorder().Frames().rowCount());
    std::fflush(stdout);
    dlg.Recorder().PortClosed();
    dlg.DestroyWindow();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    InitRavlinResources();

    // A name on the command line runs that stream only.
    const std::string only = argc > 1 ? argv[1] : "";
    bool ok = true;
    double slowest = 0;
    auto run = [&](const char* name, const std::vector<Unit>& units, bool autoAssign) {
        if (!only.empty() && only != name) {
            return;
        }
        const Result off = Run(name, units, autoAssign, Recorder::Off);
        std::printf("stream: %s recorder: off bytes_per_s: %.0f growth: %.2f\n", name,
                    off.bytesPerS, off.growth);
        const Recorder on = qEnvironmentVariableIntValue("RAVLIN_BENCH_MONITOR") != 0
                                ? Recorder::Open
                                : Recorder::Closed;
        const Result r = Run(name, units, autoAssign, on);
        std::printf("stream: %s recorder: %s bytes_per_s: %.0f growth: %.2f ratio: %.3f\n", name,
                    on == Recorder::Open ? "open" : "closed", r.bytesPerS, r.growth,
                    r.bytesPerS / off.bytesPerS);
        std::fflush(stdout);
        ok = ok && r.ok && off.ok;
        slowest = slowest == 0 ? r.bytesPerS : std::min(slowest, r.bytesPerS);
    };
    run("found", FoundStream(), false);
    run("commission", CommissionStream(), true);
    run("random", RandomStream(), false);
    std::printf("bytes_per_s: %.0f\n", slowest);
    return ok ? 0 : 1;
}
