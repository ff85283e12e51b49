// The main dialog on a busy bus: the real dialog offscreen and the real serial engine on a
// pseudo-terminal flooded with found-device replies. The status list and the device list keep
// the newest 10,000 lines; losing the selected device line is a selection change.

#include <QListWidget>
#include <QScrollBar>
#include <memory>
#include <thread>

#include "app/ravlin_dlg.h"
#include "controls/switch_btn.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

constexpr char kPortName[] = "busy-bus";

// Found-device replies from addresses first, first + 1, ... (wrapping within 1..250).
Bytes FoundRun(int first, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        const auto address = static_cast<std::uint8_t>(1 + (first + i - 1) % 250);
        const Bytes frame = {0xFA, 0x08, 0x00, address, 0xFE, 0x00, 0x11, 0x22, 0x33, 0x44};
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

class BusyBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pty = std::make_unique<PseudoTerminal>();
        m_dlg = ShowDialogOnBus(*m_pty, kPortName);
        ASSERT_NE(m_dlg, nullptr);
        m_devices = DeviceList(*m_dlg);
        m_status = StatusList(*m_dlg);
    }
    void TearDown() override { m_dlg.reset(); }

    // Plays found-device replies and waits until the device list has had all of them.
    void FeedFound(int first, int count) {
        int added = 0;
        const auto connection =
            QObject::connect(m_devices->model(), &QAbstractItemModel::rowsInserted,
                             [&](const QModelIndex&, int from, int to) { added += to - from + 1; });
        // The line holds far less than this: the bus end writes from its own thread while this
        // one handles what the engine hands over.
        const Bytes bytes = FoundRun(first, count);
        std::thread writer([&] { m_pty->Write(bytes); });
        EXPECT_TRUE(WaitFor([&] { return added >= count; }, 60000))
            << "the dialog listed " << added << " of " << count << " devices";
        writer.join();
        QObject::disconnect(connection);
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<CRavlinDlg> m_dlg;
    QListWidget* m_devices = nullptr;
    QListWidget* m_status = nullptr;
};

TEST_F(BusyBusTest, BothListsKeepTheNewestTenThousandLinesInOrder) {
    FeedFound(1, kMaxListLines + 7);
    ASSERT_EQ(m_devices->count(), kMaxListLines);
    ASSERT_EQ(m_status->count(), kMaxListLines);
    // The seven oldest devices went: the list starts at the eighth and ends at the newest.
    const std::vector<unsigned> data = RowData(m_devices);
    for (int row = 0; row < kMaxListLines; ++row) {
        const unsigned address = 1 + (row + 7) % 250;
        ASSERT_EQ(data[static_cast<std::size_t>(row)], address) << "row " << row;
        ASSERT_EQ(m_devices->item(row)->text(), QString::number(address)) << "row " << row;
    }
    EXPECT_EQ(m_status->item(kMaxListLines - 1)->text(), QStringLiteral("当前状态->找到设备"));
    // The newest status line is still brought into view.
    QScrollBar* bar = m_status->verticalScrollBar();
    ASSERT_TRUE(WaitFor([&] { return bar->maximum() > 0; }));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(BusyBusTest, LosingTheSelectedDeviceLineIsASelectionChange) {
    ClickTab(*m_dlg, 1);
    auto* screen = qobject_cast<CSwitchBtn*>(FindControl(&m_dlg->MirellPage(), IDC_SW_SCREEN));
    ASSERT_NE(screen, nullptr);
    FeedFound(1, kMaxListLines - 1);

    // A selected line that is not the oldest moves up as older lines go, and stays selected.
    ClickRow(m_devices, 2);
    ASSERT_EQ(m_dlg->DeviceListCurSel(), 2);
    const unsigned selected = m_dlg->DeviceListItemData(2);
    EXPECT_TRUE(screen->isEnabled());
    FeedFound(kMaxListLines, 2);
    EXPECT_EQ(m_dlg->DeviceListCurSel(), 1);
    EXPECT_EQ(m_dlg->DeviceListItemData(1), selected);
    EXPECT_TRUE(screen->isEnabled());

    // When the selected line itself goes, nothing is selected and the page asks for a device.
    FeedFound(kMaxListLines + 2, 2);
    EXPECT_EQ(m_dlg->DeviceListCurSel(), -1);
    EXPECT_FALSE(screen->isEnabled());
    EXPECT_EQ(m_devices->count(), kMaxListLines);
}

}  // namespace
