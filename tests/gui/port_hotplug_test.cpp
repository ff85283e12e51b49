// The port list following the system, on the real dialog: pseudo-terminals published and
// withdrawn in the test's own folder while the dialog runs (the inotify path), with the rules
// for the selection and the open port; the boxes of a failed open with their cause; the
// descriptions of USB adapters from a fake sysfs.

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"
#include "platform/published_ports.h"
#include "res/resource.h"

namespace fs = std::filesystem;
using namespace gui_test;

namespace {

// A sysfs and a /dev of the test's own, so the machine's real ports stay out of the list;
// published ports come from the test program's folder.
struct FakeSystem {
    fs::path root = fs::temp_directory_path() / ("ravlin-hotplug-" + std::to_string(::getpid()));
    PortSources sources{(root / "sys").string(), (root / "dev").string(), PublishedPortsFolder()};

    FakeSystem() {
        fs::remove_all(root);
        fs::create_directories(sources.systemTree);
        fs::create_directories(sources.deviceDir);
    }
    ~FakeSystem() { fs::remove_all(root); }
};

class HotplugDlg : public CRavlinDlg {
public:
    HotplugDlg(PortSources sources, bool portsAtStart)
        : m_sources(std::move(sources)), m_portsAtStart(portsAtStart) {}

protected:
    bool EnumeratePorts() override {
        if (m_portsAtStart) {
            return CRavlinDlg::EnumeratePorts();
        }
        m_port.SetPorts({});
        return false;
    }
    PortSources PortListSources() const override { return m_sources; }

private:
    PortSources m_sources;
    bool m_portsAtStart;
};

class PortHotplugTest : public ::testing::Test {
protected:
    void Show(bool portsAtStart) {
        m_dlg = std::make_unique<HotplugDlg>(m_fake.sources, portsAtStart);
        ASSERT_TRUE(m_dlg->Create());
        m_dlg->show();
    }
    QComboBox* Ports() const { return Control<QComboBox>(m_dlg.get(), IDC_PORT); }
    QPushButton* OpenClose() const { return Control<QPushButton>(m_dlg.get(), IDC_OPEN_CLOSE); }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < Ports()->count(); ++i) {
            names << Ports()->itemText(i);
        }
        return names;
    }
    unsigned NumberOf(const char* name) const {
        const int index = Ports()->findText(QString::fromUtf8(name));
        return index < 0 ? 0 : Ports()->itemData(index).toUInt();
    }
    // The list shows exactly `names` within the second the installer may wait.
    bool Shows(const QStringList& names) {
        return WaitFor([&] { return Names() == names; }, 1000);
    }
    std::unique_ptr<PseudoTerminal> Publish(const char* name) {
        auto pty = std::make_unique<PseudoTerminal>();
        pty->Publish(name);
        return pty;
    }

    FakeSystem m_fake;
    MessageBoxRecorder m_boxes;
    std::unique_ptr<HotplugDlg> m_dlg;
};

TEST_F(PortHotplugTest, APortPluggedInAfterAStartWithoutPortsMakesTheOpenButtonUsable) {
    Show(false);
    ASSERT_EQ(m_boxes.Count("没有发现串口!"), 1u);
    EXPECT_FALSE(OpenClose()->isEnabled());

    auto pty = Publish("bus-a");
    ASSERT_TRUE(Shows({"bus-a"})) << Names().join(',').toStdString();
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-a"));
    ASSERT_TRUE(OpenClose()->isEnabled());
    Click(OpenClose());
    EXPECT_EQ(OpenClose()->text(), QStringLiteral("关闭串口"));
    EXPECT_EQ(g_portClosed, 0);
    Click(OpenClose());
    EXPECT_EQ(m_boxes.Boxes().size(), 1u) << "no box but the one at start";
}

// One watch serves the dialog's life: changing tabs starts no second one (each would add its
// own timer and system watches), and the list still follows the system afterwards.
TEST_F(PortHotplugTest, TabChangesKeepTheOneWatch) {
    Show(false);
    const auto timers = m_dlg->findChildren<QTimer*>().size();
    for (int i = 0; i < 6; ++i) {
        gui_test::ClickTab(*m_dlg, i % 3);
    }
    EXPECT_EQ(m_dlg->findChildren<QTimer*>().size(), timers);
    auto pty = Publish("bus-a");
    EXPECT_TRUE(Shows({"bus-a"})) << Names().join(',').toStdString();
}

TEST_F(PortHotplugTest, RefreshesKeepTheSelectionNumbersAndTheOpenPort) {
    auto m = Publish("bus-m");
    Show(true);
    ASSERT_EQ(Names(), QStringList{"bus-m"});
    const unsigned mNumber = NumberOf("bus-m");

    // A newcomer sorts in before the selection: the selection and the numbers stay.
    auto a = Publish("bus-a");
    ASSERT_TRUE(Shows({"bus-a", "bus-m"}));
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-m"));
    EXPECT_EQ(NumberOf("bus-m"), mNumber);

    // The open port goes (its simulator ends): its entry stays, selected, until it is closed;
    // other ports still come and go meanwhile.
    Click(OpenClose());
    ASSERT_EQ(g_portClosed, 0);
    m.reset();
    auto z = Publish("bus-z");
    ASSERT_TRUE(Shows({"bus-a", "bus-m", "bus-z"}));
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-m"));
    EXPECT_FALSE(Ports()->isEnabled());
    a.reset();
    ASSERT_TRUE(Shows({"bus-m", "bus-z"}));
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-m"));

    Click(OpenClose());
    EXPECT_EQ(Names(), QStringList{"bus-z"}) << "the closed port that went leaves at once";
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-z"));

    // A closed selection whose port goes falls back to the first entry; with none left the
    // open button is disabled again, as at a start without ports.
    auto b = Publish("bus-b");
    ASSERT_TRUE(Shows({"bus-b", "bus-z"}));
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-z"));
    z.reset();
    ASSERT_TRUE(Shows({"bus-b"}));
    EXPECT_EQ(Ports()->currentText(), QStringLiteral("bus-b"));
    EXPECT_TRUE(OpenClose()->isEnabled());
    b.reset();
    ASSERT_TRUE(Shows({}));
    EXPECT_FALSE(OpenClose()->isEnabled());
}

TEST_F(PortHotplugTest, AFolderOthersCanWriteToDropsItsPorts) {
    auto a = Publish("bus-a");
    Show(true);
    ASSERT_EQ(Names(), QStringList{"bus-a"});
    ASSERT_EQ(::chmod(m_fake.sources.publishedDir.c_str(), 0777), 0);
    EXPECT_TRUE(Shows({}));
    ASSERT_EQ(::chmod(m_fake.sources.publishedDir.c_str(), 0700), 0);
    EXPECT_TRUE(Shows({"bus-a"}));
}

TEST_F(PortHotplugTest, AFailedOpenKeepsItsTextAndSaysWhy) {
    auto pty = Publish("bus-a");
    Show(true);
    ASSERT_EQ(Names(), QStringList{"bus-a"});
    const std::string link = m_fake.sources.publishedDir + "/bus-a";
    auto lastBox = [&] { return m_boxes.Boxes().back(); };

    // Busy: another engine of this program holds it.
    CSerialPort other;
    other.EnumeratePorts();
    ASSERT_TRUE(other.OpenPort(m_dlg->MessageOwner(), other.PortEntry(NumberOf("bus-a")),
                               MakeLineSettings(9600, 'N', 8, 0)));
    Click(OpenClose());
    ASSERT_EQ(m_boxes.Count("串口被占用或不存!"), 1u);
    EXPECT_EQ(lastBox().caption, "Ravlin");
    EXPECT_NE(lastBox().informative.find("（进程 " + std::to_string(::getpid()) + "）"),
              std::string::npos)
        << lastBox().informative;
    other.ClosePort();

    // No permission (file access checked as an ordinary user on this thread).
    ASSERT_EQ(::chmod(pty->SlavePath().c_str(), 0600), 0);
    ::setfsuid(65534);
    Click(OpenClose());
    ::setfsuid(0);
    ASSERT_EQ(m_boxes.Count("串口被占用或不存!"), 2u);
    EXPECT_NE(lastBox().informative.find("sudo usermod -aG dialout $USER"), std::string::npos)
        << lastBox().informative;
    EXPECT_NE(lastBox().informative.find(link), std::string::npos);

    // Gone: withdrawn just before the click, before the list could follow.
    pty.reset();
    Click(OpenClose());
    ASSERT_EQ(m_boxes.Count("串口被占用或不存!"), 3u);
    EXPECT_NE(lastBox().informative.find("已不存在"), std::string::npos) << lastBox().informative;
    EXPECT_EQ(OpenClose()->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(g_portClosed, 1);
}

TEST_F(PortHotplugTest, UsbAdaptersAreToldApartByTooltipAndDescription) {
    // ttyUSB0 as a USB serial driver lays it out; its node leads to a pseudo-terminal.
    PseudoTerminal node;
    const fs::path sys = m_fake.sources.systemTree;
    const fs::path dev = m_fake.sources.deviceDir;
    const fs::path usb = m_fake.root / "devices" / "1-2";
    fs::create_directories(usb / "1-2:1.0" / "ttyUSB0");
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "manufacturer") << "FTDI\n";
    std::ofstream(usb / "product") << "RS485 <b>Cable</b>\n";
    std::ofstream(usb / "serial") << "A50285BI\n";
    fs::create_directories(sys / "ttyUSB0");
    fs::create_directory_symlink(usb / "1-2:1.0" / "ttyUSB0", sys / "ttyUSB0" / "device");
    fs::create_symlink(node.SlavePath(), dev / "ttyUSB0");
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_RS485-if00-port0");
    auto published = Publish("bus-a");

    Show(true);
    ASSERT_TRUE(Shows({"bus-a", "ttyUSB0"}));
    const int usbIndex = Ports()->findText(QStringLiteral("ttyUSB0"));
    const QString description =
        Ports()->itemData(usbIndex, Qt::AccessibleDescriptionRole).toString();
    EXPECT_EQ(description,
              QStringLiteral("制造商：FTDI\n产品：RS485 <b>Cable</b>\n序列号：A50285BI\n"
                             "/dev/serial/by-id：usb-FTDI_RS485-if00-port0"));
    const QString tip = Ports()->itemData(usbIndex, Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral("RS485 &lt;b&gt;Cable&lt;/b&gt;")))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("序列号：A50285BI")));
    const int simIndex = Ports()->findText(QStringLiteral("bus-a"));
    EXPECT_TRUE(Ports()->itemData(simIndex, Qt::ToolTipRole).toString().isEmpty());
}

}  // namespace
