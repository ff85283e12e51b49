// The same commissioning done twice on two identical simulated buses: once by clicking through
// Ravlin's real main window, once with orvalctl. Every frame the PC put on the line, as each
// simulator traced it, must be the same, byte for byte and in the same order.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "app/ravlin_dlg.h"
#include "controls/switch_btn.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "res/resource.h"
#include "sim/orval_simulator.h"
#include "tool_runner.h"

using namespace gui_test;

namespace {

constexpr SimIdentity kTarvoA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kTarvoB{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kMirell{0x4D, 0xB0, 0x00, 0x01};
constexpr SimIdentity kOskan{0x4F, 0xC0, 0x00, 0x01};

std::vector<SimDeviceSpec> Bus() {
    return {{SimModel::Tarvo, 1, kTarvoA},
            {SimModel::Tarvo, 1, kTarvoB},
            {SimModel::Mirell, 2, kMirell},
            {SimModel::Oskan, 4, kOskan}};
}

// A simulator whose trace keeps the PC's frames.
class TracedBus {
public:
    explicit TracedBus(const std::string& name) : m_sim(Bus()) {
        m_sim.SetTraceSink([this](const std::string& line) {
            const std::size_t at = line.find("PC->bus ");
            if (at == std::string::npos) {
                return;
            }
            const std::size_t start = at + 8;
            std::lock_guard lock(m_mutex);
            m_frames.push_back(line.substr(start, line.find("  |", start) - start));
        });
        m_sim.Start(name);
    }
    std::vector<std::string> Frames() const {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    SimDeviceState Device(const SimIdentity& id) const {
        for (const SimDeviceState& d : m_sim.Devices()) {
            if (d.identity == id) {
                return d;
            }
        }
        return {};
    }

private:
    OrvalSimulator m_sim;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_frames;
};

TEST(WindowAndTool, SendTheSameFramesForTheSameCommissioning) {
    TracedBus windowBus("bus-window");
    TracedBus toolBus("bus-tool");
    MessageBoxRecorder boxes;

    // --- In the window. Bytes a command leaves alone go out as the frame before left them, and
    // each orvalctl run starts from the frame of a window just started: so each group of actions
    // that orvalctl does in separate runs starts here in a new window.
    {
        std::unique_ptr<CRavlinDlg> dlg;
        QListWidget* devices = nullptr;
        const auto newWindow = [&] {
            dlg.reset();
            dlg = ShowMainDialog();
            ASSERT_NE(dlg, nullptr);
            ASSERT_TRUE(OpenPort(*dlg, QStringLiteral("bus-window")));
            devices = DeviceList(*dlg);
        };
        const auto control = [&](int id) { return MainControl(*dlg, id); };
        const auto tarvo = [&](int id) { return FindControl(&dlg->TarvoPage(), id); };
        const auto search = [&](int count) {
            Click(control(IDC_SEARCH));
            ASSERT_TRUE(WaitFor([&] { return devices->count() >= count; }));
            WaitFor([&] { return devices->count() > count; }, 300);
        };
        const auto select = [&](const QString& address) {
            const int row = RowTexts(devices).indexOf(address);
            ASSERT_GE(row, 0) << address.toStdString();
            ClickRow(devices, row);
        };

        // Automatic assignment from 10 on the TARVO tab.
        newWindow();
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(control(IDC_ADDRESS)), "10"));
        Click(control(IDC_AUTO_ASSIGN));
        ASSERT_TRUE(WaitFor([&] { return windowBus.Device(kTarvoB).address == 11; }, 15000));
        WaitFor([] { return false; }, 300);

        // The key configuration of panel 10, after a search.
        newWindow();
        search(2);
        select("10");
        Click(tarvo(IDC_MODE_PRESS_RELEASE));
        qobject_cast<QLineEdit*>(tarvo(IDC_LONG_PRESS_MS))->setText("1500");
        qobject_cast<QPlainTextEdit*>(tarvo(IDC_PRESS_CODES))->setPlainText("01 02 0A");
        qobject_cast<QPlainTextEdit*>(tarvo(IDC_RELEASE_CODES))->setPlainText("AB");
        Click(tarvo(IDC_RELEASE_HEX));  // plain characters
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(tarvo(IDC_DEV_BAUD)), "19200"));
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(tarvo(IDC_DEV_DATA_BITS)), "7"));
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(tarvo(IDC_DEV_STOP_BITS)), "2"));
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(tarvo(IDC_DEV_PARITY)), "EVEN"));
        Click(control(IDOK));
        ASSERT_TRUE(WaitFor([&] { return !dlg->KeyConfigWriter().Running(); }, 10000));
        ASSERT_TRUE(WaitFor([&] { return windowBus.Device(kTarvoA).tarvo.baud == 19200; }));

        // The MIRELL at 2 moves to 20 (search, write, search), then its SCREEN goes up.
        newWindow();
        ClickTab(*dlg, 1);
        search(1);
        select("2");
        ASSERT_TRUE(ChooseText(qobject_cast<QComboBox*>(control(IDC_ADDRESS)), "20"));
        Click(control(IDC_WRITE_ADDRESS));
        ASSERT_TRUE(WaitFor([&] { return RowTexts(devices).contains("20"); }));
        WaitFor([] { return false; }, 300);
        select("20");
        ClickUpperHalf(qobject_cast<CSwitchBtn*>(FindControl(&dlg->MirellPage(), IDC_SW_SCREEN)));
        ASSERT_TRUE(WaitFor([&] { return !windowBus.Device(kMirell).mirellFunctions.empty(); }));

        // OSKAN 4: a search, channel 3 on, feedback on.
        newWindow();
        ClickTab(*dlg, 2);
        search(1);
        select("4");
        ClickUpperHalf(qobject_cast<CSwitchBtn*>(FindControl(&dlg->OskanPage(), IDC_SW_CH1 + 2)));
        ASSERT_TRUE(WaitFor([&] { return windowBus.Device(kOskan).channels[2]; }));
        Click(FindControl(&dlg->OskanPage(), IDC_FEEDBACK));
        ASSERT_TRUE(WaitFor([&] { return windowBus.Device(kOskan).feedback; }));
    }
    EXPECT_TRUE(boxes.Boxes().empty());

    // --- With orvalctl.
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("window-frames-" + std::to_string(getpid()));
    std::ofstream(file) << "[key]\nmode = press-release\nlong_press_ms = 1500\n"
                           "[press]\ncodes = 01 02 0A\n[release]\ncodes = AB\nhex = no\n"
                           "[serial]\nbaud = 19200\ndata_bits = 7\nstop_bits = 2\nparity = even\n";
    const std::vector<std::vector<std::string>> runs = {
        {"auto-assign", "--type", "tarvo", "--from", "10"},
        {"search", "--type", "tarvo", "--wait", "0.3"},
        {"write-key-config", "--address", "10", "--file", file.string()},
        {"assign", "--type", "mirell", "--address", "2", "--to", "20", "--wait", "0.3"},
        {"mirell", "--address", "20", "screen", "up"},
        {"search", "--type", "oskan", "--wait", "0.3"},
        {"oskan", "--address", "4", "channel", "3", "on"},
        {"oskan", "--address", "4", "feedback", "on"},
    };
    for (std::vector<std::string> args : runs) {
        args.insert(args.begin() + 1, {"--port", "bus-tool"});
        const ToolResult r = RunOrvalctl(args);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
    }
    std::filesystem::remove(file);

    const std::vector<std::string> window = windowBus.Frames();
    EXPECT_GE(window.size(), 14u);
    // The simulator traces a frame once the line has been quiet after it, which may be just
    // after the tool has ended.
    WaitFor([&] { return toolBus.Frames().size() >= window.size(); });
    EXPECT_EQ(toolBus.Frames(), window);
    EXPECT_EQ(toolBus.Device(kTarvoA).tarvo.releaseCodes,
              windowBus.Device(kTarvoA).tarvo.releaseCodes);
    EXPECT_EQ(toolBus.Device(kMirell).address, 20);
}

}  // namespace
