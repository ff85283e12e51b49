// The whole receive path, as on a desktop: the real main dialog with the real serial engine,
// its port opened on a pseudo-terminal, and a writer process on the other end streaming
// found-device replies (FA 08 00 05 FE 00 11 22 33 44). Run it on a real X server with the
// accessibility bus (bench_rx_live.sh does both).
//
//   bench_rx_live flood [BYTES]     as fast as the writer can (default 200,000 bytes)
//   bench_rx_live paced [SECONDS]   19,400 bytes/s in 10-byte writes (default 10 s)
//   bench_rx_live soak [MINUTES]    paced, for minutes (default 1); RSS at start and end
//
// The bus monitor's recorder records as it does from the moment a port opens;
// RAVLIN_BENCH_RECORDER=0 turns it off.
//
// Prints the CPU time of this process per received byte (from /proc, with the idle rate
// measured beforehand subtracted), bytes read per second, bytes lost, and whether the log shows
// the stream's tail. Figures only: the exit status is non-zero only when bytes went missing or
// the log is wrong.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/ravlin_app.h"
#include "app/ravlin_dlg.h"
#include "bench/app/log_rule.h"
#include "platform/pseudo_terminal.h"
#include "platform/qt_dialog_builder.h"
#include "res/resource.h"

namespace {

constexpr std::uint8_t kFrame[10] = {0xFA, 0x08, 0x00, 0x05, 0xFE, 0x00, 0x11, 0x22, 0x33, 0x44};
constexpr double kPacedBytesPerS = 19400.0;

class BenchDlg : public CRavlinDlg {
public:
    void Command(int id) { OnCommand(id); }
};

// User plus system time of this process, in seconds (/proc/self/stat fields 14 and 15).
double ProcessCpuSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::vector<std::string> fields;
    std::string field;
    for (std::size_t i = close + 2; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += text[i];
        }
    }
    // fields[0] is field 3 (state): utime is field 14, stime field 15.
    if (fields.size() < 13) {
        return 0;
    }
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
}

long RssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// The benchmark looks at its figures once per this many milliseconds, idle and streaming
// alike, so that its own wake-ups are part of the idle rate that is subtracted.
constexpr int kLookMs = 100;

// Turns the event loop for `ms` (the dialog goes on handling what arrives).
void Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QTest::qWait(kLookMs);
    }
}

// The writer process: `frames` frames into the master, all at once or paced.
pid_t StartWriter(int masterFd, std::size_t frames, bool paced) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    prctl(PR_SET_NAME, "bench-writer");
    std::vector<std::uint8_t> chunk;
    const std::size_t perWrite = paced ? 1 : 400;
    for (std::size_t i = 0; i < perWrite; ++i) {
        chunk.insert(chunk.end(), kFrame, kFrame + sizeof kFrame);
    }
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long stepNs = static_cast<long>(1e9 * sizeof kFrame / kPacedBytesPerS);
    for (std::size_t sent = 0; sent < frames;) {
        const std::size_t n = std::min(perWrite, frames - sent);
        const std::uint8_t* p = chunk.data();
        std::size_t left = n * sizeof kFrame;
        while (left > 0) {
            const ssize_t w = ::write(masterFd, p, left);
            if (w < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    usleep(200);
                    continue;
                }
                _exit(1);
            }
            p += w;
            left -= static_cast<std::size_t>(w);
        }
        sent += n;
        if (paced) {
            next.tv_nsec += stepNs;
            while (next.tv_nsec >= 1000000000L) {
                next.tv_nsec -= 1000000000L;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
    }
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "paced";
    const double amount = argc > 2 ? std::atof(argv[2]) : 0;
    bool paced = mode != "flood";
    std::size_t frames = 0;
    if (mode == "flood") {
        frames = static_cast<std::size_t>(amount > 0 ? amount : 200000) / sizeof kFrame;
    } else if (mode == "paced") {
        frames = static_cast<std::size_t>((amount > 0 ? amount : 10) * kPacedBytesPerS / 10);
    } else if (mode == "soak") {
        frames = static_cast<std::size_t>((amount > 0 ? amount : 1) * 60 * kPacedBytesPerS / 10);
    } else {
        std::fprintf(stderr, "usage: %s flood [BYTES] | paced [SECONDS] | soak [MINUTES]\n",
                     argv[0]);
        return 2;
    }

    QTemporaryDir ports;
    ::setenv("RAVLIN_PORT_DIR", ports.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    InitRavlinResources();
    PseudoTerminal pty;
    pty.Publish("bench");

    BenchDlg dlg;
    dlg.Create();
    // RAVLIN_BENCH_RECORDER=0: the bus monitor's recorder off, to see what it costs.
    if (qEnvironmentVariableIsSet("RAVLIN_BENCH_RECORDER") &&
        qEnvironmentVariableIntValue("RAVLIN_BENCH_RECORDER") == 0) {
        dlg.Recorder().SetRecording(false);
    }
    dlg.show();
    auto* portCombo = qobject_cast<QComboBox*>(FindControl(&dlg, IDC_PORT));
    const int index = portCombo ? portCombo->findText(QStringLiteral("bench")) : -1;
    if (index < 0) {
        std::fprintf(stderr, "the published port is not listed\n");
        return 2;
    }
    portCombo->setCurrentIndex(index);
    dlg.Command(IDC_OPEN_CLOSE);
    if (!dlg.PortOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 2;
    }

    // Frames arrive one device line each: count them as the list gains them (it keeps at most
    // 10,000, so its count alone can't tell).
    auto* devices = qobject_cast<QListWidget*>(FindControl(&dlg, IDC_DEVICE_LIST));
    std::size_t received = 0;
    QObject::connect(devices->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) {
                         received += static_cast<std::size_t>(last - first + 1);
                     });

    Spin(500);
    const long rssStart = RssKiB();
    const double idleStart = ProcessCpuSeconds();
    QElapsedTimer idle;
    idle.start();
    Spin(2000);
    const double idleRate =
        (ProcessCpuSeconds() - idleStart) / (static_cast<double>(idle.elapsed()) / 1e3);

    const double cpuStart = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const pid_t writer = StartWriter(pty.MasterFd(), frames, paced);
    qint64 lastArrival = 0;
    std::size_t seen = 0;
    int status = 0;
    bool writerDone = false;
    // Until every frame is in, or the line stayed quiet for 3 s after the writer finished.
    for (;;) {
        QTest::qWait(kLookMs);
        if (received != seen) {
            seen = received;
            lastArrival = wall.elapsed();
        }
        if (!writerDone && waitpid(writer, &status, WNOHANG) == writer) {
            writerDone = true;
            lastArrival = std::max(lastArrival, wall.elapsed());
        }
        if (received >= frames || (writerDone && wall.elapsed() - lastArrival > 3000)) {
            break;
        }
    }
    const double seconds = static_cast<double>(lastArrival) / 1e3;
    const double cpu =
        ProcessCpuSeconds() - cpuStart - idleRate * static_cast<double>(wall.elapsed()) / 1e3;
    if (!writerDone) {
        kill(writer, SIGKILL);
        waitpid(writer, &status, 0);
    }
    dlg.Log().Flush();
    QCoreApplication::processEvents();
    const long rssEnd = RssKiB();

    const std::size_t bytes = frames * sizeof kFrame;
    const std::size_t got = received * sizeof kFrame;
    std::vector<std::uint8_t> stream;
    stream.reserve(got);
    for (std::size_t i = 0; i < received; ++i) {
        stream.insert(stream.end(), kFrame, kFrame + sizeof kFrame);
    }
    const QString expected = ExpectedLog(stream, dlg.Log().TokensPerLine());
    const auto* edit = qobject_cast<QPlainTextEdit*>(FindControl(&dlg, IDC_LOG));
    const bool logOk = dlg.Log().Text() == expected && edit && edit->toPlainText() == expected;

    std::printf("mode: %s\n", mode.c_str());
    std::printf("bytes_sent: %zu\n", bytes);
    std::printf("bytes_lost: %zu\n", bytes - got);
    std::printf("seconds: %.2f\n", seconds);
    std::printf("idle_cpu_percent: %.2f\n", idleRate * 100);
    std::printf("cpu_us_per_byte: %.3f\n", got ? cpu * 1e6 / static_cast<double>(got) : 0.0);
    std::printf("bytes_read_per_s: %.0f\n", seconds > 0 ? static_cast<double>(got) / seconds : 0.0);
    std::printf("log_shows_tail: %s\n", logOk ? "yes" : "NO");
    if (mode == "soak") {
        std::printf("rss_start_kib: %ld\nrss_end_kib: %ld\n", rssStart, rssEnd);
    }
    dlg.Command(IDC_OPEN_CLOSE);
    return got == bytes && logOk ? 0 : 1;
}
