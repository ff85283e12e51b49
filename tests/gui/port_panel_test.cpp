// The local serial-port panel on a real pseudo-terminal with the real engine: the open and
// closed states, a busy port, no port at all, the line settings that reach the device, and
// shutting down with the port open while bytes arrive.

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <atomic>
#include <memory>
#include <thread>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "platform/qt_tab_control.h"
#include "pty_cflag.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

constexpr char kPortName[] = "bus-a";

class PortPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pty = std::make_unique<PseudoTerminal>();
        m_pty->Publish(kPortName);
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        Choose(IDC_PORT, kPortName);
    }
    void TearDown() override { m_dlg.reset(); }

    template <class T = QWidget>
    T* C(int id) const {
        return qobject_cast<T*>(FindControl(m_dlg.get(), id));
    }
    void Choose(int id, const char* text) {
        auto* combo = C<QComboBox>(id);
        const int index = combo->findText(QString::fromUtf8(text));
        ASSERT_GE(index, 0) << text;
        combo->setCurrentIndex(index);
    }
    unsigned PortNumber() const { return C<QComboBox>(IDC_PORT)->currentData().toUInt(); }
    void ClickOpenClose() { Click(C(IDC_OPEN_CLOSE)); }

    // The state table of the panel, with the tab's rule for button 1.
    void ExpectPanel(bool open, int tab = 0) {
        EXPECT_EQ(C<QPushButton>(IDC_OPEN_CLOSE)->text(),
                  open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
        for (int id : {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PARITY}) {
            EXPECT_EQ(C(id)->isEnabled(), !open) << id;
        }
        for (int id : {IDC_SEARCH, IDC_AUTO_ASSIGN, IDC_WRITE_ADDRESS}) {
            EXPECT_EQ(C(id)->isEnabled(), open) << id;
        }
        EXPECT_EQ(C(IDOK)->isEnabled(), open && tab == 0);
        EXPECT_EQ(g_portClosed, open ? 0 : 1);
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<CRavlinDlg> m_dlg;
};

TEST_F(PortPanelTest, OpenAndCloseFollowTheStateTable) {
    auto* devices = C<QListWidget>(IDC_DEVICE_LIST);
    devices->addItem(QStringLiteral("3"));

    ClickOpenClose();
    ExpectPanel(true);
    EXPECT_TRUE(m_dlg->PortOpen());
    EXPECT_EQ(devices->count(), 0) << "opening empties the device list";
    EXPECT_TRUE(m_dlg->TarvoPage().GetDlgItem(IDC_LED1)->isEnabled());
    EXPECT_TRUE(m_dlg->TarvoPage().GetDlgItem(IDC_LED2)->isEnabled());

    devices->addItem(QStringLiteral("4"));
    ClickOpenClose();
    ExpectPanel(false);
    EXPECT_FALSE(m_dlg->PortOpen());
    EXPECT_EQ(devices->count(), 1) << "closing keeps the device list";
    EXPECT_FALSE(m_dlg->TarvoPage().GetDlgItem(IDC_LED1)->isEnabled());
    EXPECT_FALSE(m_dlg->TarvoPage().GetDlgItem(IDC_LED2)->isEnabled());

    // Open again, on the MIRELL tab: button 1 stays off there and comes back on tab 0.
    QTabBar* bar = m_dlg->TabControl()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
    ClickOpenClose();
    ExpectPanel(true, 1);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(0).center());
    ExpectPanel(true, 0);
    ClickOpenClose();
    ExpectPanel(false);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PortPanelTest, PortHeldByAnotherEngineIsReportedAndNothingChanges) {
    PlainMessageOwner owner([](const WindowMessage&) {});
    CSerialPort other;
    other.EnumeratePorts();
    ASSERT_TRUE(
        other.OpenPort(&owner, other.PortEntry(PortNumber()), MakeLineSettings(9600, 'N', 8, 0)));

    C<QListWidget>(IDC_DEVICE_LIST)->addItem(QStringLiteral("3"));
    ClickOpenClose();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "串口被占用或不存!");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, "Ravlin");
    ExpectPanel(false);
    EXPECT_FALSE(m_dlg->PortOpen());
    EXPECT_EQ(C<QListWidget>(IDC_DEVICE_LIST)->count(), 1);

    // Once the other engine lets go, the same click opens it.
    other.ClosePort();
    ClickOpenClose();
    ExpectPanel(true);
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
}

TEST_F(PortPanelTest, DefaultLineSettingsReachTheDevice) {
    ClickOpenClose();
    PtyControl control;
    ASSERT_TRUE(ReadPtyControl(m_pty->MasterFd(), &control));
    EXPECT_EQ(control.baud, 9600u);
    EXPECT_FALSE(control.stopBits2);
    EXPECT_FALSE(control.markSpace);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PortPanelTest, ChosenLineSettingsReachTheDeviceUnchanged) {
    Choose(IDC_BAUD, "194000");
    Choose(IDC_DATA_BITS, "5");
    Choose(IDC_STOP_BITS, "1.5");
    Choose(IDC_PARITY, "SPACE");
    ClickOpenClose();
    PtyControl control;
    ASSERT_TRUE(ReadPtyControl(m_pty->MasterFd(), &control));
    EXPECT_EQ(control.baud, 194000u);
    EXPECT_TRUE(control.stopBits2) << "1.5 stop bits with 5 data bits is the two-stop-bit flag";
    EXPECT_TRUE(control.markSpace) << "space parity";
    EXPECT_FALSE(control.odd) << "space, not mark";
    ClickOpenClose();

    Choose(IDC_BAUD, "115200");
    Choose(IDC_STOP_BITS, "1");
    Choose(IDC_PARITY, "MARK");
    ClickOpenClose();
    ASSERT_TRUE(ReadPtyControl(m_pty->MasterFd(), &control));
    EXPECT_EQ(control.baud, 115200u);
    EXPECT_FALSE(control.stopBits2);
    EXPECT_TRUE(control.markSpace && control.odd) << "mark parity";
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PortPanelTest, StopBitsTheDataBitsDontAllowAreRefusedAndThePortStillOpens) {
    Choose(IDC_BAUD, "19200");
    ClickOpenClose();
    ClickOpenClose();
    ASSERT_TRUE(m_boxes.Boxes().empty());

    Choose(IDC_BAUD, "4800");
    Choose(IDC_STOP_BITS, "1.5");  // with the default 8 data bits
    ClickOpenClose();
    ExpectPanel(true);
    const auto boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_EQ(boxes[0].text.rfind("WARNING:  SetCommState() Failed", 0), 0u) << boxes[0].text;
    PtyControl control;
    ASSERT_TRUE(ReadPtyControl(m_pty->MasterFd(), &control));
    EXPECT_EQ(control.baud, 19200u) << "the device keeps its previous settings";
    EXPECT_FALSE(control.stopBits2);
    ClickOpenClose();
}

// Streams bytes into the port until stopped.
class Flood {
public:
    explicit Flood(PseudoTerminal& pty)
        : m_thread([this, &pty] {
              std::vector<std::uint8_t> chunk(64);
              while (!m_stop) {
                  for (std::size_t i = 0; i < chunk.size(); ++i) {
                      chunk[i] = static_cast<std::uint8_t>(m_sent + i);
                  }
                  try {
                      pty.Write(chunk);
                  } catch (...) {
                      return;
                  }
                  m_sent += chunk.size();
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~Flood() { Stop(); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_sent{0};
    std::thread m_thread;
};

TEST_F(PortPanelTest, ExitWithThePortOpenWhileBytesArriveReleasesThePort) {
    ClickOpenClose();
    Flood flood(*m_pty);
    ASSERT_TRUE(WaitFor([&] { return !m_dlg->Log().Text().isEmpty(); }));

    Click(C(IDCANCEL));
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), IDCANCEL);
    flood.Stop();

    // The device is free again: another engine can have it.
    PlainMessageOwner owner([](const WindowMessage&) {});
    CSerialPort other;
    other.EnumeratePorts();
    EXPECT_TRUE(
        other.OpenPort(&owner, other.PortEntry(PortNumber()), MakeLineSettings(9600, 'N', 8, 0)));
    other.ClosePort();
    m_dlg.reset();
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PortPanelTest, DestroyingTheDialogWithThePortOpenDoesNotWaitForever) {
    ClickOpenClose();
    Flood flood(*m_pty);
    ASSERT_TRUE(WaitFor([&] { return m_dlg->Log().Text().size() > 300; }));
    // No event handling from here: the monitor is blocked on a delivery the dialog will never
    // handle, and the dialog goes anyway.
    m_dlg.reset();
    flood.Stop();
    SUCCEED();
}

// A machine without serial ports (the engine's list stays empty, and so does the system it
// lists again from).
class NoPortsDlg : public CRavlinDlg {
protected:
    PortSources PortListSources() const override {
        return {"/nonexistent/sys/class/tty", "/nonexistent/dev", "/nonexistent/ports"};
    }
    bool EnumeratePorts() override {
        m_port.SetPorts({});
        return false;
    }
};

TEST(PortPanelWithoutPorts, SaysSoOnceAndKeepsTheOpenButtonDisabled) {
    MessageBoxRecorder boxes;
    NoPortsDlg dlg;
    dlg.Create();
    dlg.show();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "没有发现串口!");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Ravlin");
    for (int id : {IDC_OPEN_CLOSE, IDC_SEARCH, IDC_WRITE_ADDRESS, IDOK}) {
        EXPECT_FALSE(FindControl(&dlg, id)->isEnabled()) << id;
    }
    EXPECT_EQ(Control<QComboBox>(&dlg, IDC_PORT)->count(), 0);
    // Switching tabs never enables the open button.
    QTabBar* bar = dlg.TabControl()->TabBar();
    for (int tab : {1, 2, 0}) {
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(tab).center());
        EXPECT_FALSE(FindControl(&dlg, IDC_OPEN_CLOSE)->isEnabled());
    }
    Click(FindControl(&dlg, IDC_OPEN_CLOSE));
    EXPECT_EQ(g_portClosed, 1);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

}  // namespace
