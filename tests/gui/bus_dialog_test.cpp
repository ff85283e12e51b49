// The main dialog on the bus: the real dialog offscreen and the real serial engine on a
// pseudo-terminal whose other end plays the devices. Replies go in byte for byte; every frame
// the dialog sends is read back from the line.

#include <sys/ioctl.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/ravlin_dlg.h"
#include "bus/tarvo_config.h"
#include "controls/switch_btn.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

constexpr char kPortName[] = "bus-b";
const char kFound[] = "当前状态->找到设备";

Bytes Found(std::uint8_t type, std::uint8_t address, std::array<std::uint8_t, 4> state) {
    return {0xFA, type, 0x00, address, 0xFE, 0x00, state[0], state[1], state[2], state[3]};
}

Bytes Short(std::uint8_t type, std::uint8_t address, std::uint8_t command) {
    return {0xFA, type, 0x00, address, command, 0x00, 0x00, 0x00, 0x00, 0x00};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// FA 09 00 <address> 23 00 00 00 00 00, then the block.
Bytes LongReply(std::uint8_t address, const TarvoConfigBlock& block) {
    Bytes reply = Short(0x09, address, 0x23);
    reply.insert(reply.end(), block.bytes.begin(), block.bytes.end());
    return reply;
}

class BusDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pty = std::make_unique<PseudoTerminal>();
        m_pty->Publish(kPortName);
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        ASSERT_TRUE(OpenPort(*m_dlg, QString::fromUtf8(kPortName)));
        m_devices = DeviceList(*m_dlg);
        m_status = StatusList(*m_dlg);
        ASSERT_TRUE(SyncWithMonitor(*m_dlg, *m_pty));
    }
    void TearDown() override { m_dlg.reset(); }

    template <class T = QWidget>
    T* C(int id) const {
        return qobject_cast<T*>(MainControl(*m_dlg, id));
    }

    // Plays bytes from the devices and waits until the dialog has taken every one of them.
    void Feed(const Bytes& bytes) {
        const std::size_t logged = LoggedBytes() + bytes.size();
        m_pty->Write(bytes);
        ASSERT_TRUE(WaitFor([&] { return LoggedBytes() >= logged; }))
            << "the dialog took " << LoggedBytes() << " of " << logged << " bytes";
    }
    std::size_t LoggedBytes() const {
        return m_loggedBefore + static_cast<std::size_t>(m_dlg->Log().Text().size() / 3);
    }
    // Frames the dialog wrote.
    Bytes Wire(std::size_t count, int timeoutMs = 5000) { return m_pty->Read(count, timeoutMs); }

    void Click(int id) { gui_test::Click(C(id)); }
    void ClickSearch() {
        m_loggedBefore = LoggedBytes();  // the search empties the log
        Click(IDC_SEARCH);
    }
    void ChooseAddress(int address) {
        ASSERT_TRUE(ChooseText(C<QComboBox>(IDC_ADDRESS), QString::number(address)));
    }
    TxFrame::Bytes TxFrameNow() { return m_dlg->TxFrameBytes().Snapshot(); }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<CRavlinDlg> m_dlg;
    QListWidget* m_devices = nullptr;
    QListWidget* m_status = nullptr;
    std::size_t m_loggedBefore = 0;
};

TEST_F(BusDialogTest, FoundDevicesAreListedInArrivalOrderAndGoToThePageOfTheTab) {
    for (int tab : {0, 1, 2}) {
        SCOPED_TRACE(tab);
        ClickTab(*m_dlg, tab);
        const int statusBefore = m_status->count();
        // The type byte is not compared with the tab.
        Feed(Concat({Found(0x08, 5, {0x11, 0x22, 0x33, 0x44}),
                     Found(0x06, 200, {0x55, 0x66, 0x77, 0x88}),
                     Found(0x07, 3, {0x01, 0x02, 0x03, 0x04})}));
        EXPECT_EQ(RowTexts(m_devices), (QStringList{"5", "200", "3"}));
        EXPECT_EQ(RowData(m_devices), (std::vector<unsigned>{5, 200, 3}));
        // One line at the command byte and one at the end of each frame.
        ASSERT_EQ(m_status->count(), statusBefore + 6);
        for (int i = statusBefore; i < m_status->count(); ++i) {
            EXPECT_EQ(m_status->item(i)->text(), QString::fromUtf8(kFound));
        }
        const auto& mirell = m_dlg->MirellPage().m_deviceMap;
        const auto& oskan = m_dlg->OskanPage().m_deviceMap;
        EXPECT_EQ(mirell.size(), tab >= 1 ? 3u : 0u);
        EXPECT_EQ(oskan.size(), tab == 2 ? 3u : 0u);
        if (tab == 1) {
            ASSERT_NE(m_dlg->MirellPage().GetDeviceState(200), nullptr);
            EXPECT_EQ(*m_dlg->MirellPage().GetDeviceState(200),
                      (std::array<std::uint8_t, 4>{0x55, 0x66, 0x77, 0x88}));
        }
        if (tab == 2) {
            EXPECT_EQ(oskan.at(5).state, (std::array<std::uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
        }
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(BusDialogTest, StatusLinesFollowTheCommandsAndTheLastLineIsScrolledToTheTop) {
    Feed(Concat({Short(0x09, 4, 0x20), Short(0x09, 4, 0x22), Short(0x09, 4, 0x26),
                 Short(0x09, 4, 0x27), Short(0x09, 4, 0x25), Short(0x09, 4, 0x00)}));
    const QStringList expected = {"当前状态:设备自动分配地址模式",
                                  "当前状态:设备自动分配地址模式",
                                  "当前状态->分配地址成功",
                                  "当前状态->分配地址成功",
                                  "当前状态->设置按键模式和长按时间成功",
                                  "当前状态->设置按键模式和长按时间成功",
                                  "当前状态->设置按键功能码成功",
                                  "当前状态->设置按键功能码成功"};
    EXPECT_EQ(RowTexts(m_status), expected);

    // Enough lines to scroll; each new line is scrolled to the top, as far as the list goes.
    for (int i = 0; i < 20; ++i) {
        Feed(Short(0x09, 4, 0x26));
    }
    QScrollBar* bar = m_status->verticalScrollBar();
    ASSERT_TRUE(WaitFor([&] { return bar->maximum() > 0; }));
    EXPECT_EQ(bar->value(), bar->maximum());

    // A command without a text adds nothing but still brings the last line back into view.
    bar->setValue(0);
    const int lines = m_status->count();
    Feed(Short(0x09, 4, 0x30));
    EXPECT_EQ(m_status->count(), lines);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(BusDialogTest, AutomaticAssignmentAnswersEachRequestWithTheNextAddressAndNeverZero) {
    // From "3": the answer to a request is read back from the line byte for byte.
    ChooseAddress(3);
    const TxFrame::Bytes before = TxFrameNow();
    Click(IDC_AUTO_ASSIGN);
    EXPECT_EQ(m_status->item(m_status->count() - 1)->text(),
              QStringLiteral("当前状态:设备自动分配地址模式"));
    EXPECT_EQ(Wire(10), (Bytes{0xFA, 0x09, 0xFF, 0x00, 0x20, before[5], before[6], before[7],
                               before[8], before[9]}));
    Feed({0xFA, 0x09, 0x00, 0x07, 0x21, 0x00, 0xA1, 0xB2, 0xE3, 0xD4});
    EXPECT_EQ(Wire(10), (Bytes{0xFA, 0x09, 0x07, 0x00, 0x22, 0x03, 0xA1, 0xB2, 0xE3, 0xD4}));
    EXPECT_EQ(m_dlg->NextAddress(), 4);
    EXPECT_EQ(m_status->item(m_status->count() - 1)->text(),
              QStringLiteral("当前状态：正在分配地址……"));

    // From "5": three requests receive 5, 6 and 7.
    ChooseAddress(5);
    Click(IDC_AUTO_ASSIGN);
    EXPECT_EQ(Wire(10).at(4), 0x20);
    for (std::uint8_t expected : {5, 6, 7}) {
        Feed({0xFA, 0x09, 0x00, 0x01, 0x21, 0x00, 0x10, 0x20, 0x30, expected});
        EXPECT_EQ(Wire(10),
                  (Bytes{0xFA, 0x09, 0x01, 0x00, 0x22, expected, 0x10, 0x20, 0x30, expected}));
    }

    // From "255": 255, then 1 -- 0 is the PC's own address.
    ChooseAddress(255);
    Click(IDC_AUTO_ASSIGN);
    EXPECT_EQ(Wire(10).at(4), 0x20);
    for (std::uint8_t expected : {255, 1}) {
        Feed({0xFA, 0x09, 0x00, 0x01, 0x21, 0x00, 0x10, 0x20, 0x30, 0x40});
        EXPECT_EQ(Wire(10).at(5), expected);
    }
    EXPECT_EQ(m_dlg->NextAddress(), 2);
}

TEST_F(BusDialogTest, SearchSendsTheTypeOfTheTabAndEmptiesListLogAndThePagesMap) {
    const std::uint8_t types[] = {0x09, 0x08, 0x06};
    for (int tab : {0, 1, 2}) {
        SCOPED_TRACE(tab);
        ClickTab(*m_dlg, tab);
        Feed(Found(types[tab], 9, {1, 2, 3, 4}));
        ASSERT_EQ(m_devices->count(), 1);
        const std::size_t mirellBefore = m_dlg->MirellPage().m_deviceMap.size();

        ClickSearch();
        EXPECT_EQ(Wire(4), (Bytes{0xFA, types[tab], 0x00, 0x00}));
        EXPECT_EQ(m_devices->count(), 0);
        EXPECT_TRUE(m_dlg->Log().Text().isEmpty());
        m_dlg->Log().Flush();
        EXPECT_TRUE(C<QPlainTextEdit>(IDC_LOG)->toPlainText().isEmpty());
        EXPECT_EQ(m_dlg->MirellPage().m_deviceMap.size(), tab == 1 ? 0u : mirellBefore);
        EXPECT_TRUE(m_dlg->OskanPage().m_deviceMap.empty());

        // The replies to the search fill the list again.
        Feed(Concat({Found(types[tab], 3, {0, 0, 0, 0}), Found(types[tab], 7, {0, 0, 0, 0})}));
        EXPECT_EQ(RowTexts(m_devices), (QStringList{"3", "7"}));
    }
}

// Address writes: the frame, the pause, and the search that follows, with the engine's monitor
// waiting on the dialog to take a received byte at the moment of the click. The dialog keeps
// taking received bytes during the pause, so the monitor is free to write the first frame
// before the search replaces it; the device's confirmation is shown before the pause ends.
class AddressWriteTest : public BusDialogTest {
protected:
    struct Seen {
        Bytes write;
        Bytes search;
        std::chrono::steady_clock::time_point writeAt, searchAt;
    };

    Seen ClickWriteWithTheMonitorWaiting(const Bytes& confirmation) {
        // One byte that the monitor reads and then holds until the dialog takes it.
        // Waits without handling events, so the monitor stays waiting on the dialog.
        m_pty->Write({0x00});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int queued = 1;
        while ((::ioctl(m_pty->SlaveFd(), FIONREAD, &queued) != 0 || queued > 0) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(queued, 0) << "the monitor did not read the byte";
        Seen seen;
        std::atomic<bool> done{false};
        std::thread device([&] {
            seen.write = m_pty->Read(10, 5000);
            seen.writeAt = std::chrono::steady_clock::now();
            m_pty->Write(confirmation);
            seen.search = m_pty->Read(4, 5000);
            seen.searchAt = std::chrono::steady_clock::now();
            done = true;
        });
        QElapsedTimer click;
        click.start();
        Click(IDC_WRITE_ADDRESS);
        m_clickMs = click.elapsed();
        // What the status list shows right now was handled during the click.
        m_statusAfterClick = m_status->count();
        WaitFor([&] { return done.load(); }, 15000);
        device.join();
        return seen;
    }

    qint64 m_clickMs = 0;
    int m_statusAfterClick = 0;
};

TEST_F(AddressWriteTest, MirellWriteCarriesTheDevicesStateThenPausesAndSearchesAgain) {
    ClickTab(*m_dlg, 1);
    Feed(Concat(
        {Found(0x08, 2, {0xAA, 0xBB, 0xCC, 0xDD}), Found(0x08, 5, {0x11, 0x22, 0x33, 0x44})}));
    ClickRow(m_devices, 1);
    ChooseAddress(9);
    const int statusBefore = m_status->count();

    const Seen seen = ClickWriteWithTheMonitorWaiting(
        {0xFA, 0x08, 0x00, 0x09, 0x22, 0x09, 0x11, 0x22, 0x33, 0x44});
    EXPECT_EQ(seen.write, (Bytes{0xFA, 0x08, 0x05, 0x00, 0x22, 0x09, 0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(seen.search, (Bytes{0xFA, 0x08, 0x00, 0x00}));
    EXPECT_GE(m_clickMs, kAddressWritePauseMs);
    EXPECT_GE(seen.searchAt - seen.writeAt, std::chrono::milliseconds(kAddressWritePauseMs / 2));
    // Handled during the pause: the confirmation's two lines are there as the click returns.
    EXPECT_EQ(m_statusAfterClick, statusBefore + 2);
    EXPECT_EQ(m_devices->count(), 0);
    // The page's records stay until the next search on its tab.
    EXPECT_EQ(m_dlg->MirellPage().m_deviceMap.size(), 2u);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(AddressWriteTest, OskanWriteMarksByteSixAndLeavesTheRestOfTheFrame) {
    ClickTab(*m_dlg, 2);
    Feed(Found(0x06, 3, {0x01, 0x02, 0x03, 0x04}));
    ClickRow(m_devices, 0);
    ChooseAddress(9);
    const TxFrame::Bytes before = TxFrameNow();

    const Seen seen = ClickWriteWithTheMonitorWaiting(Short(0x06, 9, 0x22));
    EXPECT_EQ(seen.write,
              (Bytes{0xFA, 0x06, 0x03, 0x00, 0x22, 0x09, 0x22, before[7], before[8], before[9]}));
    EXPECT_EQ(seen.search, (Bytes{0xFA, 0x06, 0x00, 0x00}));
    EXPECT_GE(m_clickMs, kAddressWritePauseMs);
    EXPECT_EQ(m_devices->count(), 0);
}

TEST_F(BusDialogTest, AddressWriteWithoutASelectedDeviceSaysSoAndSendsNothing) {
    for (int tab : {1, 2}) {
        SCOPED_TRACE(tab);
        ClickTab(*m_dlg, tab);
        Feed(Found(0x08, 4, {0, 0, 0, 0}));  // listed, but not selected
        const std::size_t boxes = m_boxes.Boxes().size();
        Click(IDC_WRITE_ADDRESS);
        ASSERT_EQ(m_boxes.Boxes().size(), boxes + 1);
        EXPECT_EQ(m_boxes.Boxes().back().text, "请选择一个设备!");
        EXPECT_EQ(m_boxes.Boxes().back().caption, "Ravlin");
        EXPECT_TRUE(Wire(1, 200).empty());
        EXPECT_EQ(m_devices->count(), 1);
    }
}

TEST_F(BusDialogTest, DoubleClickReadsTheConfigurationWhichReachesTheTarvoPageWhole) {
    Feed(Found(0x09, 7, {0, 0, 0, 0}));
    const TxFrame::Bytes before = TxFrameNow();
    DoubleClickRow(m_devices, 0);
    EXPECT_EQ(Wire(10), (Bytes{0xFA, 0x09, 0x07, 0x00, 0x23, before[5], before[6], before[7],
                               before[8], before[9]}));

    TarvoConfig config;
    config.baud = 19200;
    config.dataBitsIndex = 1;
    config.stopBitsIndex = 2;
    config.parityIndex = 3;
    config.keyMode = 0;
    config.longPressMs = 1500;
    config.pressCodes = {0x01, 0x0A, 0xFA};
    config.releaseCodes = {0x7F};
    TarvoConfigBlock block = EncodeTarvoConfig(config);
    block.bytes.back() = 0x5A;  // the last byte of the reply
    const int statusBefore = m_status->count();
    Feed(Concat({LongReply(7, block), Found(0x09, 8, {0, 0, 0, 0})}));

    CTarvoDlg& page = m_dlg->TarvoPage();
    EXPECT_EQ(qobject_cast<QLineEdit*>(page.GetDlgItem(IDC_LONG_PRESS_MS))->text(), "1500");
    EXPECT_EQ(qobject_cast<QComboBox*>(page.GetDlgItem(IDC_DEV_BAUD))->currentText(), "19200");
    EXPECT_EQ(qobject_cast<QComboBox*>(page.GetDlgItem(IDC_DEV_STOP_BITS))->currentIndex(), 2);
    EXPECT_EQ(qobject_cast<QComboBox*>(page.GetDlgItem(IDC_DEV_PARITY))->currentIndex(), 3);
    page.UpdateData(true);
    EXPECT_EQ(page.m_strPressCodes, "01 0A FA");
    EXPECT_EQ(page.m_strReleaseCodes, "7F");
    EXPECT_FALSE(page.IsShortLongMode());
    // The block is frame bytes 10..159: the reply's last byte is kept.
    EXPECT_EQ(m_dlg->Parser().Buffer()[159], 0x5A);
    // The reply took exactly 160 bytes, gave no status line of its own, and the frame after it
    // is read as usual.
    EXPECT_EQ(RowTexts(m_devices), (QStringList{"7", "8"}));
    EXPECT_EQ(m_status->count(), statusBefore + 2);
}

TEST_F(BusDialogTest, OnTheMirellTabTheConfigurationReplyIsConsumedWithoutEffect) {
    ClickTab(*m_dlg, 1);
    Feed(Found(0x08, 6, {0, 0, 0, 0}));
    DoubleClickRow(m_devices, 0);
    const Bytes request = Wire(10);
    ASSERT_EQ(request.size(), 10u);
    EXPECT_EQ(request[1], 0x08);
    EXPECT_EQ(request[2], 0x06);
    EXPECT_EQ(request[4], 0x23);

    auto* longPress = qobject_cast<QLineEdit*>(m_dlg->TarvoPage().GetDlgItem(IDC_LONG_PRESS_MS));
    const QString shown = longPress->text();
    TarvoConfig config;
    config.baud = 2400;
    config.longPressMs = 4321;
    Feed(Concat({LongReply(6, EncodeTarvoConfig(config)), Found(0x08, 11, {0, 0, 0, 0})}));
    EXPECT_EQ(longPress->text(), shown);
    EXPECT_EQ(RowTexts(m_devices), (QStringList{"6", "11"}));
}

TEST_F(BusDialogTest, SelectionDrivesThePageControlsAndOutlivesTheFocus) {
    ClickTab(*m_dlg, 1);
    auto* screen = qobject_cast<CSwitchBtn*>(FindControl(&m_dlg->MirellPage(), IDC_SW_SCREEN));
    ASSERT_NE(screen, nullptr);
    EXPECT_FALSE(screen->isEnabled());
    Feed(Concat({Found(0x08, 2, {0, 0, 0, 0}), Found(0x08, 3, {0, 0, 0, 0})}));
    EXPECT_FALSE(screen->isEnabled()) << "a listed device is no selection";

    ClickRow(m_devices, 1);
    EXPECT_TRUE(screen->isEnabled());
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 1);
    C<QComboBox>(IDC_ADDRESS)->setFocus();
    ASSERT_TRUE(WaitFor([&] { return !m_devices->hasFocus(); }));
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 1);

    // A search empties the list; the controls keep their state and then ask for a device.
    ClickSearch();
    EXPECT_EQ(Wire(4).size(), 4u);
    EXPECT_EQ(m_dlg->DeviceListCurSel(), -1);
    EXPECT_TRUE(screen->isEnabled());
    ClickUpperHalf(screen);
    ASSERT_TRUE(WaitFor([&] { return m_boxes.Count("请选择一个设备!") == 1; }));
    EXPECT_TRUE(Wire(1, 200).empty());

    // A tab change looks at the (empty) selection again.
    ClickTab(*m_dlg, 0);
    ClickTab(*m_dlg, 1);
    EXPECT_FALSE(screen->isEnabled());
}

}  // namespace
