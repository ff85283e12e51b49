// The MIRELL page in a stand-in host: switches and buttons clicked for real, every frame read
// back from the pseudo-terminal behind a real serial engine.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include "controls/switch_btn.h"
#include "message_box_recorder.h"
#include "pages/mirell_dlg.h"
#include "res/resource.h"
#include "test_page_host.h"
#include "widget_driving.h"

using namespace test_support;

namespace {

Bytes MirellFrame(std::uint8_t address, std::uint8_t function, std::uint8_t value) {
    return {0xFA, 0x08, address, 0x00, 0x00, 0x00, 0x45, function, value, 0x55};
}

// A page created while device 0x10 is selected.
struct MirellPageTest : ::testing::Test {
    TestPageHost host;
    CMirellDlg page;
    MessageBoxRecorder boxes;

    void SetUp() override {
        ASSERT_TRUE(host.PortReady());
        host.AddDevice(0x10);
        host.Select(0);
        ASSERT_TRUE(page.Create(host.Tab()));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    CSwitchBtn* Sw(int id) {
        CSwitchBtn* sw = Switch(&page, id);
        EXPECT_NE(sw, nullptr) << id;
        return sw;
    }
};

TEST_F(MirellPageTest, EveryControlSendsItsFrameToTheSelectedDevice) {
    struct Step {
        const char* what;
        std::function<void()> act;
        std::uint8_t function;
        std::uint8_t value;
    };
    const Step steps[] = {
        {"SCREEN up", [&] { ClickUpperHalf(Sw(IDC_SW_SCREEN)); }, 0x04, 0x01},
        {"SCREEN down", [&] { ClickLowerHalf(Sw(IDC_SW_SCREEN)); }, 0x04, 0x02},
        {"SCREEN stop", [&] { Click(Control(&page, IDC_SCREEN_STOP)); }, 0x04, 0x00},
        {"LIFTER up", [&] { ClickUpperHalf(Sw(IDC_SW_LIFTER)); }, 0x05, 0x02},
        {"LIFTER down", [&] { ClickLowerHalf(Sw(IDC_SW_LIFTER)); }, 0x05, 0x01},
        {"LIFTER stop", [&] { Click(Control(&page, IDC_LIFTER_STOP)); }, 0x05, 0x00},
        {"PROJECTOR on", [&] { ClickUpperHalf(Sw(IDC_SW_PROJECTOR)); }, 0x01, 0x01},
        {"PROJECTOR off", [&] { ClickLowerHalf(Sw(IDC_SW_PROJECTOR)); }, 0x01, 0x00},
        {"SEQ.SW on", [&] { ClickUpperHalf(Sw(IDC_SW_SEQ)); }, 0x02, 0x01},
        {"SEQ.SW off", [&] { ClickLowerHalf(Sw(IDC_SW_SEQ)); }, 0x02, 0x02},
        {"enable sequence switch", [&] { Click(Control(&page, IDC_SEQ_ENABLE)); }, 0x02, 0x00},
        // The hidden sequence buttons are never shown, but their commands stand.
        {"hidden sequence on",
         [&] { qobject_cast<QAbstractButton*>(Control(&page, IDC_SEQ_ON))->click(); }, 0x02, 0x01},
        {"hidden sequence off",
         [&] { qobject_cast<QAbstractButton*>(Control(&page, IDC_SEQ_OFF))->click(); }, 0x02, 0x02},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(host.ReadFrame(), MirellFrame(0x10, step.function, step.value)) << step.what;
    }
    EXPECT_EQ(host.SendCount(), static_cast<int>(std::size(steps)));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(Control(&page, IDC_SEQ_ON)->isVisibleTo(&page));
    EXPECT_FALSE(Control(&page, IDC_SEQ_OFF)->isVisibleTo(&page));
}

TEST_F(MirellPageTest, SwitchMovedOffAndBackOnSendsOffThenOn) {
    CSwitchBtn* sw = Sw(IDC_SW_PROJECTOR);
    ClickUpperHalf(sw);
    ASSERT_EQ(host.ReadFrame(), MirellFrame(0x10, 0x01, 0x01));
    ClickLowerHalf(sw);
    EXPECT_EQ(host.ReadFrame(), MirellFrame(0x10, 0x01, 0x00));
    ClickUpperHalf(sw);
    EXPECT_EQ(host.ReadFrame(), MirellFrame(0x10, 0x01, 0x01));
    // A click on the half the knob already covers is no command.
    ClickUpperHalf(sw);
    EXPECT_EQ(host.SendCount(), 3);
}

TEST_F(MirellPageTest, WithoutSelectionTheUserIsToldAndNothingIsSent) {
    host.Select(-1);
    CSwitchBtn* screen = Sw(IDC_SW_SCREEN);

    Click(Control(&page, IDC_SCREEN_STOP));
    ClickUpperHalf(screen);
    Click(Control(&page, IDC_SEQ_ENABLE));

    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, "请选择一个设备!");
        EXPECT_EQ(box.caption, "Ravlin");
    }
    EXPECT_EQ(host.SendCount(), 0);
    EXPECT_EQ(screen->m_state, 1) << "the switch keeps the position it moved to";

    // Once a device is selected, the next frame on the line is that command's and nothing
    // went out before it.
    host.Select(0);
    Click(Control(&page, IDC_LIFTER_STOP));
    EXPECT_EQ(host.ReadFrame(), MirellFrame(0x10, 0x05, 0x00));
}

TEST_F(MirellPageTest, CommandsFollowTheSelectionAndSwitchesStayPut) {
    host.AddDevice(0x2A);
    host.AddDevice(0x1FE);  // only the low byte of the item data is an address
    CSwitchBtn* lifter = Sw(IDC_SW_LIFTER);
    ClickUpperHalf(lifter);
    ASSERT_EQ(host.ReadFrame(), MirellFrame(0x10, 0x05, 0x02));

    host.Select(1);
    EXPECT_EQ(lifter->m_state, 1);
    ClickLowerHalf(lifter);
    EXPECT_EQ(host.ReadFrame(), MirellFrame(0x2A, 0x05, 0x01));

    host.Select(2);
    Click(Control(&page, IDC_SCREEN_STOP));
    EXPECT_EQ(host.ReadFrame(), MirellFrame(0xFE, 0x04, 0x00));
}

// Each switch covers its hidden placeholder exactly and starts on its lower half.
TEST_F(MirellPageTest, SwitchesStandOverTheirPlaceholdersAllDown) {
    const std::pair<int, int> placements[] = {{IDC_SW_SCREEN, IDC_SCREEN_PLACE},
                                              {IDC_SW_LIFTER, IDC_LIFTER_PLACE},
                                              {IDC_SW_PROJECTOR, IDC_PROJECTOR_PLACE},
                                              {IDC_SW_SEQ, IDC_SEQ_PLACE}};
    for (const auto& [id, placeholderId] : placements) {
        const CSwitchBtn* sw = Sw(id);
        const QWidget* placeholder = Control(&page, placeholderId);
        ASSERT_TRUE(sw != nullptr && placeholder != nullptr);
        EXPECT_FALSE(placeholder->isVisibleTo(&page));
        EXPECT_FALSE(placeholder->geometry().isEmpty());
        EXPECT_EQ(sw->geometry(), placeholder->geometry()) << id;
        EXPECT_TRUE(sw->isVisibleTo(&page));
        EXPECT_EQ(sw->m_state, 0);
        EXPECT_NE(sw->m_vertical, 0);
    }
}

// Created while nothing is selected: the commands start disabled, and EnableControls switches
// exactly the seven visible command controls.
TEST(MirellPageEnable, ControlsFollowEnableControls) {
    TestPageHost host;
    ASSERT_TRUE(host.PortReady());
    CMirellDlg page;
    MessageBoxRecorder boxes;
    ASSERT_TRUE(page.Create(host.Tab()));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    const int commands[] = {IDC_SW_SCREEN,   IDC_SW_LIFTER,   IDC_SW_PROJECTOR, IDC_SW_SEQ,
                            IDC_SCREEN_STOP, IDC_LIFTER_STOP, IDC_SEQ_ENABLE};
    auto expectEnabled = [&](bool enabled) {
        for (int id : commands) {
            ASSERT_NE(Control(&page, id), nullptr) << id;
            EXPECT_EQ(Control(&page, id)->isEnabled(), enabled) << id;
        }
        // The hidden buttons are left alone.
        EXPECT_TRUE(Control(&page, IDC_SEQ_ON)->isEnabled());
        EXPECT_TRUE(Control(&page, IDC_SEQ_OFF)->isEnabled());
    };
    expectEnabled(false);

    // A disabled switch does not move and tells nobody.
    host.AddDevice(3);
    host.Select(0);
    CSwitchBtn* seq = Switch(&page, IDC_SW_SEQ);
    ClickUpperHalf(seq);
    EXPECT_EQ(seq->m_state, 0);
    EXPECT_EQ(host.SendCount(), 0);

    page.EnableControls(true);
    expectEnabled(true);
    ClickUpperHalf(seq);
    EXPECT_EQ(host.ReadFrame(), MirellFrame(3, 0x02, 0x01));

    page.EnableControls(false);
    expectEnabled(false);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(MirellPageRecords, LaterRecordReplacesAndClearedMapHasNone) {
    CMirellDlg page;
    EXPECT_EQ(page.GetDeviceState(7), nullptr);
    page.SetDeviceRecord({7, {1, 2, 3, 4}});
    page.SetDeviceRecord({9, {9, 9, 9, 9}});
    page.SetDeviceRecord({7, {0xA0, 0xB0, 0xC0, 0xD0}});
    ASSERT_EQ(page.m_deviceMap.size(), 2u);
    const auto* state = page.GetDeviceState(7);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(*state, (std::array<std::uint8_t, 4>{0xA0, 0xB0, 0xC0, 0xD0}));
    EXPECT_EQ(page.m_deviceMap.at(7).addr, 7);
    EXPECT_EQ(page.GetDeviceState(8), nullptr);
    EXPECT_EQ(page.GetDeviceState(7 + 256), nullptr);

    page.m_deviceMap.clear();  // what a search does
    EXPECT_EQ(page.GetDeviceState(7), nullptr);
}

}  // namespace
