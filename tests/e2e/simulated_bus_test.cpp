// End to end: Ravlin's real main dialog and serial engine against the bus simulator, which
// runs in-process on a pseudo-terminal published in this test's own folder of ports. The
// installer's steps are real clicks; what the devices did is read from the simulator's state.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <algorithm>
#include <memory>

#include "app/ravlin_dlg.h"
#include "bus/commands.h"
#include "controls/switch_btn.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "res/resource.h"
#include "sim/orval_simulator.h"

using namespace gui_test;

namespace {

constexpr char kPortName[] = "orval-e2e";

constexpr SimIdentity kTarvoA{0x54, 0xA0, 0x00, 0x01};
constexpr SimIdentity kTarvoB{0x54, 0xA0, 0x00, 0x02};
constexpr SimIdentity kMirellA{0x4D, 0xB0, 0x00, 0x01};
constexpr SimIdentity kMirellB{0x4D, 0xB0, 0x00, 0x02};
constexpr SimIdentity kOskanA{0x4F, 0xC0, 0x00, 0x01};
constexpr SimIdentity kOskanB{0x4F, 0xC0, 0x00, 0x02};

// Two TARVO panels that still share the factory address 1, two MIRELL sequencers, two OSKANs.
std::vector<SimDeviceSpec> MixedBus() {
    return {{SimModel::Tarvo, 1, kTarvoA},   {SimModel::Mirell, 2, kMirellA},
            {SimModel::Oskan, 4, kOskanA},   {SimModel::Tarvo, 1, kTarvoB},
            {SimModel::Mirell, 3, kMirellB}, {SimModel::Oskan, 9, kOskanB}};
}

class SimulatedBusTest : public ::testing::Test {
protected:
    void Begin(std::vector<SimDeviceSpec> devices = MixedBus()) {
        m_sim = std::make_unique<OrvalSimulator>(std::move(devices));
        m_sim->SetTraceSink([this](const std::string& line) {
            std::lock_guard lock(m_traceMutex);
            m_trace += line + "\n";
        });
        m_sim->Start(kPortName);
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        ASSERT_TRUE(OpenPort(*m_dlg, QString::fromUtf8(kPortName)));
        m_devices = DeviceList(*m_dlg);
    }
    void TearDown() override {
        m_dlg.reset();
        m_sim.reset();
        if (HasFailure()) {
            std::lock_guard lock(m_traceMutex);
            std::fputs(m_trace.c_str(), stderr);
        }
    }

    template <class T = QWidget>
    T* C(int id) const {
        return qobject_cast<T*>(MainControl(*m_dlg, id));
    }
    template <class T = QWidget>
    T* Tarvo(int id) const {
        return qobject_cast<T*>(FindControl(&m_dlg->TarvoPage(), id));
    }

    // Searches on the current tab and waits until `count` devices answered; then gives any
    // further device a moment to answer too.
    QStringList Search(int count) {
        Click(C(IDC_SEARCH));
        EXPECT_TRUE(WaitFor([&] { return m_devices->count() >= count; }))
            << "listed: " << RowTexts(m_devices).join(',').toStdString();
        WaitFor([&] { return m_devices->count() > count; }, 300);
        return RowTexts(m_devices);
    }
    int RowOf(const QString& text) const { return RowTexts(m_devices).indexOf(text); }
    void Select(const QString& address) {
        const int row = RowOf(address);
        ASSERT_GE(row, 0) << address.toStdString();
        ClickRow(m_devices, row);
        ASSERT_EQ(m_dlg->DeviceListCurSel(), row);
    }
    void ChooseAddress(int address) {
        ASSERT_TRUE(ChooseText(C<QComboBox>(IDC_ADDRESS), QString::number(address)));
    }

    // The simulated device with this identity.
    SimDeviceState Device(const SimIdentity& id) const {
        for (const SimDeviceState& d : m_sim->Devices()) {
            if (d.identity == id) {
                return d;
            }
        }
        ADD_FAILURE() << "no such device";
        return {};
    }
    // Waits, with the window live, until the device with this identity satisfies `done`.
    bool WaitForDevice(const SimIdentity& id,
                       const std::function<bool(const SimDeviceState&)>& done,
                       int timeoutMs = 10000) {
        return WaitFor([&] { return done(Device(id)); }, timeoutMs);
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<OrvalSimulator> m_sim;
    std::unique_ptr<CRavlinDlg> m_dlg;
    QListWidget* m_devices = nullptr;
    std::mutex m_traceMutex;
    std::string m_trace;
};

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

TEST_F(SimulatedBusTest, SearchOnEachTabListsExactlyTheDevicesOfThatModel) {
    Begin();
    EXPECT_EQ(Search(2), (QStringList{"1", "1"}));

    ClickTab(*m_dlg, 1);
    EXPECT_EQ(Sorted(Search(2)), (QStringList{"2", "3"}));
    ASSERT_NE(m_dlg->MirellPage().GetDeviceState(3), nullptr);
    EXPECT_EQ(*m_dlg->MirellPage().GetDeviceState(3), kMirellB);

    ClickTab(*m_dlg, 2);
    EXPECT_EQ(Sorted(Search(2)), (QStringList{"4", "9"}));
    EXPECT_EQ(m_dlg->OskanPage().m_deviceMap.size(), 2u);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SimulatedBusTest, AutomaticAssignmentFromTenGivesTheFactoryDevicesTenAndEleven) {
    Begin();
    ChooseAddress(10);
    Click(C(IDC_AUTO_ASSIGN));
    ASSERT_TRUE(WaitFor(
        [&] { return Device(kTarvoA).address != 1 && Device(kTarvoB).address != 1; }, 15000));
    const std::vector<int> given = {Device(kTarvoA).address, Device(kTarvoB).address};
    EXPECT_EQ(given, (std::vector<int>{10, 11}));
    EXPECT_EQ(m_dlg->NextAddress(), 12);
    // The other models were not asked.
    EXPECT_EQ(Device(kMirellA).address, 2);
    EXPECT_EQ(Device(kOskanB).address, 9);

    EXPECT_EQ(Sorted(Search(2)), (QStringList{"10", "11"}));
}

TEST_F(SimulatedBusTest, AddressWriteOnTheMirellTabMovesTheSelectedDevice) {
    Begin();
    ClickTab(*m_dlg, 1);
    Search(2);
    Select("3");
    ChooseAddress(20);
    Click(C(IDC_WRITE_ADDRESS));
    EXPECT_TRUE(WaitForDevice(kMirellB, [](const SimDeviceState& d) { return d.address == 20; }));
    EXPECT_EQ(Device(kMirellA).address, 2);
    // The search that follows the write lists it at its new address.
    ASSERT_TRUE(WaitFor([&] { return m_devices->count() >= 2; }));
    EXPECT_EQ(Sorted(RowTexts(m_devices)), (QStringList{"2", "20"}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SimulatedBusTest, AddressWriteOnTheOskanTabMovesTheSelectedDevice) {
    Begin();
    ClickTab(*m_dlg, 2);
    Search(2);
    Select("4");
    ChooseAddress(30);
    Click(C(IDC_WRITE_ADDRESS));
    EXPECT_TRUE(WaitForDevice(kOskanA, [](const SimDeviceState& d) { return d.address == 30; }));
    EXPECT_EQ(Device(kOskanB).address, 9);
    ASSERT_TRUE(WaitFor([&] { return m_devices->count() >= 2; }));
    EXPECT_EQ(Sorted(RowTexts(m_devices)), (QStringList{"30", "9"}));
}

TEST_F(SimulatedBusTest, MirellSwitchesDriveTheSelectedDeviceOnly) {
    Begin();
    ClickTab(*m_dlg, 1);
    Search(2);
    Select("2");
    auto sw = [&](int id) {
        auto* s = qobject_cast<CSwitchBtn*>(FindControl(&m_dlg->MirellPage(), id));
        EXPECT_NE(s, nullptr) << id;
        EXPECT_TRUE(s && s->isEnabled()) << id;
        return s;
    };
    const auto function = [](const SimDeviceState& d, std::uint8_t f) {
        const auto it = d.mirellFunctions.find(f);
        return it == d.mirellFunctions.end() ? -1 : it->second;
    };

    ClickUpperHalf(sw(IDC_SW_SCREEN));
    EXPECT_TRUE(WaitForDevice(
        kMirellA, [&](const SimDeviceState& d) { return function(d, kMirellScreen) == 0x01; }));
    ClickLowerHalf(sw(IDC_SW_SCREEN));
    EXPECT_TRUE(WaitForDevice(
        kMirellA, [&](const SimDeviceState& d) { return function(d, kMirellScreen) == 0x02; }));
    ClickUpperHalf(sw(IDC_SW_PROJECTOR));
    EXPECT_TRUE(WaitForDevice(
        kMirellA, [&](const SimDeviceState& d) { return function(d, kMirellProjector) == 0x01; }));
    EXPECT_TRUE(Device(kMirellB).mirellFunctions.empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SimulatedBusTest, OskanChannelsAndFeedbackDriveTheSelectedDeviceOnly) {
    Begin();
    ClickTab(*m_dlg, 2);
    Search(2);
    Select("9");
    auto* channel3 = qobject_cast<CSwitchBtn*>(FindControl(&m_dlg->OskanPage(), IDC_SW_CH1 + 2));
    ASSERT_NE(channel3, nullptr);
    ASSERT_TRUE(channel3->isEnabled());

    ClickUpperHalf(channel3);
    EXPECT_TRUE(WaitForDevice(kOskanB, [](const SimDeviceState& d) { return d.channels[2]; }));
    Click(FindControl(&m_dlg->OskanPage(), IDC_FEEDBACK));
    EXPECT_TRUE(WaitForDevice(kOskanB, [](const SimDeviceState& d) { return d.feedback; }));
    ClickLowerHalf(channel3);
    EXPECT_TRUE(WaitForDevice(kOskanB, [](const SimDeviceState& d) { return !d.channels[2]; }));
    const SimDeviceState other = Device(kOskanA);
    EXPECT_FALSE(other.feedback);
    EXPECT_TRUE(
        std::none_of(other.channels.begin(), other.channels.end(), [](bool on) { return on; }));
}

TEST_F(SimulatedBusTest, TarvoConfigurationWrittenIsShownWhenReadBack) {
    Begin({{SimModel::Tarvo, 5, kTarvoA}, {SimModel::Tarvo, 6, kTarvoB}});
    EXPECT_EQ(Search(2), (QStringList{"5", "6"}));
    Select("6");

    Click(Tarvo(IDC_MODE_PRESS_RELEASE));
    Tarvo<QLineEdit>(IDC_LONG_PRESS_MS)->setText(QStringLiteral("1500"));
    Tarvo<QPlainTextEdit>(IDC_PRESS_CODES)->setPlainText(QStringLiteral("01 02 0A"));
    Tarvo<QPlainTextEdit>(IDC_RELEASE_CODES)->setPlainText(QStringLiteral("7F"));
    ASSERT_TRUE(ChooseText(Tarvo<QComboBox>(IDC_DEV_BAUD), QStringLiteral("19200")));
    ASSERT_TRUE(ChooseText(Tarvo<QComboBox>(IDC_DEV_STOP_BITS), QStringLiteral("2")));
    ASSERT_TRUE(ChooseText(Tarvo<QComboBox>(IDC_DEV_PARITY), QStringLiteral("EVEN")));
    ASSERT_TRUE(Tarvo<QCheckBox>(IDC_PRESS_HEX)->isChecked());

    Click(C(IDOK));  // "写入"
    ASSERT_TRUE(WaitFor([&] { return !m_dlg->KeyConfigWriter().Running(); }, 10000));
    const TarvoConfig written = Device(kTarvoB).tarvo;
    EXPECT_EQ(written.keyMode, 0);
    EXPECT_EQ(written.longPressMs, 1500);
    EXPECT_EQ(written.pressCodes, (std::vector<std::uint8_t>{0x01, 0x02, 0x0A}));
    EXPECT_EQ(written.releaseCodes, (std::vector<std::uint8_t>{0x7F}));
    EXPECT_EQ(written.baud, 19200);
    EXPECT_EQ(written.stopBitsIndex, 2);
    EXPECT_EQ(written.parityIndex, 2);
    EXPECT_EQ(Device(kTarvoA).tarvo.longPressMs, 800) << "the other panel is untouched";

    // Show something else on the page, then read the device back.
    Click(Tarvo(IDC_MODE_SHORT_LONG));
    Tarvo<QLineEdit>(IDC_LONG_PRESS_MS)->setText(QStringLiteral("700"));
    Tarvo<QPlainTextEdit>(IDC_PRESS_CODES)->clear();
    Tarvo<QPlainTextEdit>(IDC_RELEASE_CODES)->clear();
    ASSERT_TRUE(ChooseText(Tarvo<QComboBox>(IDC_DEV_BAUD), QStringLiteral("9600")));

    DoubleClickRow(m_devices, RowOf("6"));
    ASSERT_TRUE(WaitFor(
        [&] { return Tarvo<QLineEdit>(IDC_LONG_PRESS_MS)->text() == QStringLiteral("1500"); }));
    EXPECT_EQ(Tarvo<QComboBox>(IDC_DEV_BAUD)->currentText(), "19200");
    EXPECT_EQ(Tarvo<QComboBox>(IDC_DEV_STOP_BITS)->currentText(), "2");
    EXPECT_EQ(Tarvo<QComboBox>(IDC_DEV_PARITY)->currentText(), "EVEN");
    EXPECT_EQ(Tarvo<QPlainTextEdit>(IDC_PRESS_CODES)->toPlainText(), "01 02 0A");
    EXPECT_EQ(Tarvo<QPlainTextEdit>(IDC_RELEASE_CODES)->toPlainText(), "7F");
    EXPECT_TRUE(Tarvo<QAbstractButton>(IDC_MODE_PRESS_RELEASE)->isChecked());
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // With RAVLIN_E2E_PICTURES set to a folder, the window as the installer now sees it is saved
    // there (the README's picture).
    if (const QByteArray folder = qgetenv("RAVLIN_E2E_PICTURES"); !folder.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(folder));
        EXPECT_TRUE(m_dlg->grab().save(QString::fromLocal8Bit(folder) + "/main-window.png"));
    }
}

TEST_F(SimulatedBusTest, EndingTheDialogDuringAWriteStopsItSafely) {
    Begin({{SimModel::Tarvo, 5, kTarvoA}});
    EXPECT_EQ(Search(1), (QStringList{"5"}));
    Select("5");
    Tarvo<QLineEdit>(IDC_LONG_PRESS_MS)->setText(QStringLiteral("2000"));
    // Enter on the main dialog is button 1.
    C(IDC_ADDRESS)->setFocus();
    QTest::keyClick(m_dlg.get(), Qt::Key_Return);
    ASSERT_TRUE(m_dlg->KeyConfigWriter().Running());
    // The first frame reaches the device; then the window goes away mid-sequence.
    ASSERT_TRUE(WaitForDevice(kTarvoA,
                              [](const SimDeviceState& d) { return d.tarvo.longPressMs == 2000; }));
    Click(C(IDCANCEL));
    EXPECT_FALSE(m_dlg->KeyConfigWriter().Running());
    EXPECT_FALSE(m_dlg->isVisible());
    m_dlg.reset();
}

}  // namespace
