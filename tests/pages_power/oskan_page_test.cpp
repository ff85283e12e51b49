// The OSKAN page in a stand-in host: channel switches and the feedback box clicked for real,
// every frame read back from the pseudo-terminal behind a real serial engine.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>

#include "controls/switch_btn.h"
#include "message_box_recorder.h"
#include "pages/oskan_dlg.h"
#include "res/resource.h"
#include "test_page_host.h"
#include "widget_driving.h"

using namespace test_support;

namespace {

Bytes ChannelFrame(std::uint8_t address, std::uint8_t code) {
    return {0xFA, 0x06, address, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(0xFF - code),
            code, 0x00, 0x00};
}

Bytes FeedbackFrame(std::uint8_t address, std::uint8_t code) {
    return {0xFA, 0x06, address, 0x00, code, code, 0x00, 0x00, 0x00, 0x00};
}

// A page created while device 0x0A is selected.
struct OskanPageTest : ::testing::Test {
    TestPageHost host;
    COskanDlg page;
    MessageBoxRecorder boxes;

    void SetUp() override {
        ASSERT_TRUE(host.PortReady());
        host.AddDevice(0x0A);
        host.Select(0);
        ASSERT_TRUE(page.Create(host.Tab()));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    CSwitchBtn* Channel(int k) {  // k = 1..8
        CSwitchBtn* sw = Switch(&page, IDC_SW_CH1 + k - 1);
        EXPECT_NE(sw, nullptr) << k;
        return sw;
    }
    QCheckBox* Feedback() { return qobject_cast<QCheckBox*>(Control(&page, IDC_FEEDBACK)); }
};

TEST_F(OskanPageTest, EachChannelSendsItsOnAndOffCodes) {
    // The two frames an installer checks by hand first.
    ClickUpperHalf(Channel(1));
    EXPECT_EQ(host.ReadFrame(), (Bytes{0xFA, 0x06, 0x0A, 0, 0, 0, 0xFE, 0x01, 0, 0}));
    ClickUpperHalf(Channel(8));
    ASSERT_EQ(host.ReadFrame(), ChannelFrame(0x0A, 0x08));
    ClickLowerHalf(Channel(8));
    EXPECT_EQ(host.ReadFrame(), (Bytes{0xFA, 0x06, 0x0A, 0, 0, 0, 0xE7, 0x18, 0, 0}));

    for (int k = 2; k <= 7; ++k) {
        ClickUpperHalf(Channel(k));
        EXPECT_EQ(host.ReadFrame(), ChannelFrame(0x0A, static_cast<std::uint8_t>(k))) << k;
        ClickLowerHalf(Channel(k));
        EXPECT_EQ(host.ReadFrame(), ChannelFrame(0x0A, static_cast<std::uint8_t>(0x10 + k))) << k;
    }
    ClickLowerHalf(Channel(1));
    EXPECT_EQ(host.ReadFrame(), ChannelFrame(0x0A, 0x11));
    EXPECT_EQ(host.SendCount(), 16);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(OskanPageTest, FeedbackBoxSendsOnWhenCheckedOffWhenNot) {
    QCheckBox* box = Feedback();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    Click(box);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(host.ReadFrame(), FeedbackFrame(0x0A, 0x02));
    Click(box);
    EXPECT_EQ(host.ReadFrame(), FeedbackFrame(0x0A, 0x03));
}

// A feedback frame leaves bytes 6 and 7 at zero even right after a channel frame set them.
TEST_F(OskanPageTest, FeedbackAfterChannelCarriesNoChannelCode) {
    ClickUpperHalf(Channel(5));
    ASSERT_EQ(host.ReadFrame(), ChannelFrame(0x0A, 0x05));
    Click(Feedback());
    EXPECT_EQ(host.ReadFrame(), FeedbackFrame(0x0A, 0x02));
}

TEST_F(OskanPageTest, WithoutSelectionTheUserIsToldAndNothingIsSent) {
    host.Select(-1);
    Click(Feedback());
    ClickUpperHalf(Channel(4));

    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, "请选择一个设备!");
        EXPECT_EQ(box.caption, "Ravlin");
    }
    EXPECT_EQ(host.SendCount(), 0);
    EXPECT_TRUE(Feedback()->isChecked()) << "the box keeps its new check state";
    EXPECT_EQ(Channel(4)->m_state, 1) << "the switch keeps its new position";

    // With a device selected, the next click sends what that click makes of the box: off.
    host.Select(0);
    Click(Feedback());
    EXPECT_EQ(host.ReadFrame(), FeedbackFrame(0x0A, 0x03));
}

TEST_F(OskanPageTest, EightSwitchesInOneRowFromThePlaceholdersRightEdge) {
    const QWidget* placeholder = Control(&page, IDC_CHANNEL_PLACE);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_FALSE(placeholder->isVisibleTo(&page));
    const QRect place = placeholder->geometry();
    ASSERT_FALSE(place.isEmpty());
    const int right = place.x() + place.width();  // exclusive

    for (int k = 1; k <= 8; ++k) {
        const CSwitchBtn* sw = Channel(k);
        ASSERT_NE(sw, nullptr);
        const QRect expected(right + (k - 1) * (place.width() + 8), place.y(), place.width(),
                             place.height());
        EXPECT_EQ(sw->geometry(), expected) << k;
        EXPECT_TRUE(sw->isVisibleTo(&page));
        EXPECT_EQ(sw->m_state, 0);
        EXPECT_NE(sw->m_vertical, 0);
    }
}

TEST(OskanPageEnable, ControlsFollowEnableControls) {
    TestPageHost host;
    ASSERT_TRUE(host.PortReady());
    COskanDlg page;
    MessageBoxRecorder boxes;
    ASSERT_TRUE(page.Create(host.Tab()));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    auto expectEnabled = [&](bool enabled) {
        for (int id = IDC_SW_CH1; id < IDC_SW_CH1 + 8; ++id) {
            ASSERT_NE(Control(&page, id), nullptr) << id;
            EXPECT_EQ(Control(&page, id)->isEnabled(), enabled) << id;
        }
        EXPECT_EQ(Control(&page, IDC_FEEDBACK)->isEnabled(), enabled);
    };
    expectEnabled(false);

    host.AddDevice(0x42);
    host.Select(0);
    auto* box = qobject_cast<QCheckBox*>(Control(&page, IDC_FEEDBACK));
    Click(box);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(host.SendCount(), 0);

    page.EnableControls(true);
    expectEnabled(true);
    ClickUpperHalf(Switch(&page, IDC_SW_CH1 + 2));
    EXPECT_EQ(host.ReadFrame(), ChannelFrame(0x42, 0x03));

    page.EnableControls(false);
    expectEnabled(false);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(OskanPageRecords, LaterRecordReplacesAndClearedMapIsEmpty) {
    COskanDlg page;
    page.SetDeviceRecord({5, {1, 2, 3, 4}});
    page.SetDeviceRecord({5, {4, 3, 2, 1}});
    page.SetDeviceRecord({6, {0, 0, 0, 0}});
    ASSERT_EQ(page.m_deviceMap.size(), 2u);
    EXPECT_EQ(page.m_deviceMap.at(5).state, (std::array<std::uint8_t, 4>{4, 3, 2, 1}));
    page.m_deviceMap.clear();
    EXPECT_TRUE(page.m_deviceMap.empty());
}

}  // namespace
