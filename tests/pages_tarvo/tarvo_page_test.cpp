// The TARVO page on its own: presets, key mode, the edits and their data exchange, the display
// of a configuration block read back from a device, and the LED tests.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "res/resource.h"
#include "tarvo_test_host.h"

using namespace tarvo_test;

namespace {

QString GroupTitle(TestHost& host, int id) {
    return host.C<QGroupBox>(id)->title();
}

std::vector<QString> Texts(const QComboBox* combo) {
    std::vector<QString> texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts.push_back(combo->itemText(i));
    }
    return texts;
}

// The block of a device at 9600 baud, indices 0, 2, 1, press/release mode, 1500 ms, first set
// 01 02 0A, second set 41 42.
TarvoConfigBlock ExampleBlock() {
    TarvoConfigBlock block;
    auto& b = block.bytes;
    b[0] = 0x80;
    b[1] = 0x25;
    b[4] = 0;
    b[5] = 2;
    b[6] = 1;
    b[8] = 0;
    b[9] = 2;
    b[10] = 3;
    b[12] = 0xDC;
    b[13] = 0x05;
    b[14] = 0x41;
    b[15] = 0x42;
    b[78] = 0x01;
    b[79] = 0x02;
    b[80] = 0x0A;
    return block;
}

void SetBaud(TarvoConfigBlock& block, std::int32_t baud) {
    for (int i = 0; i < 4; ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(baud) >> (8 * i));
    }
}

}  // namespace

TEST(TarvoPage, StartsWithItsPresets) {
    TestHost host(false);
    auto* baud = host.C<QComboBox>(IDC_DEV_BAUD);
    auto* data = host.C<QComboBox>(IDC_DEV_DATA_BITS);
    auto* stop = host.C<QComboBox>(IDC_DEV_STOP_BITS);
    auto* parity = host.C<QComboBox>(IDC_DEV_PARITY);

    EXPECT_EQ(Texts(baud), (std::vector<QString>{"1200", "2400", "4800", "9600", "14400", "19200",
                                                 "38400", "56000", "115200", "194000"}));
    EXPECT_EQ(baud->currentText(), "9600");
    EXPECT_EQ(baud->itemData(9).toUInt(), 194000u);
    EXPECT_EQ(Texts(data), (std::vector<QString>{"8", "7", "6", "5"}));
    EXPECT_EQ(Texts(stop), (std::vector<QString>{"1", "1.5", "2"}));
    EXPECT_EQ(Texts(parity), (std::vector<QString>{"NONE", "ODD", "EVEN", "MARK", "SPACE"}));
    for (QComboBox* combo : {data, stop, parity}) {
        EXPECT_EQ(combo->currentIndex(), 0);
        for (int i = 0; i < combo->count(); ++i) {
            EXPECT_EQ(combo->itemData(i).toInt(), i);
        }
    }

    EXPECT_TRUE(host.C<QRadioButton>(IDC_MODE_SHORT_LONG)->isChecked());
    EXPECT_FALSE(host.C<QRadioButton>(IDC_MODE_PRESS_RELEASE)->isChecked());
    EXPECT_EQ(GroupTitle(host, IDC_PRESS_GROUP), "短按功能码");
    EXPECT_EQ(GroupTitle(host, IDC_RELEASE_GROUP), "长按功能码");
    EXPECT_TRUE(host.C<QCheckBox>(IDC_PRESS_HEX)->isChecked());
    EXPECT_TRUE(host.C<QCheckBox>(IDC_RELEASE_HEX)->isChecked());
    EXPECT_EQ(host.C<QLineEdit>(IDC_LONG_PRESS_MS)->text(), "800");
    EXPECT_EQ(host.Page().m_nLongPressMs, 800u);
    EXPECT_TRUE(host.C<QPlainTextEdit>(IDC_PRESS_CODES)->toPlainText().isEmpty());
    EXPECT_TRUE(host.C<QPlainTextEdit>(IDC_RELEASE_CODES)->toPlainText().isEmpty());
}

TEST(TarvoPage, ModeRadiosSwitchTheCodeCaptionsOnly) {
    TestHost host(false);
    auto* longPress = host.C<QLineEdit>(IDC_LONG_PRESS_MS);

    Click(host.C(IDC_MODE_PRESS_RELEASE));
    EXPECT_TRUE(host.C<QRadioButton>(IDC_MODE_PRESS_RELEASE)->isChecked());
    EXPECT_FALSE(host.C<QRadioButton>(IDC_MODE_SHORT_LONG)->isChecked());
    EXPECT_EQ(GroupTitle(host, IDC_PRESS_GROUP), "按下功能码");
    EXPECT_EQ(GroupTitle(host, IDC_RELEASE_GROUP), "弹起功能码");
    EXPECT_TRUE(longPress->isEnabled());
    EXPECT_EQ(longPress->text(), "800");

    Click(host.C(IDC_MODE_SHORT_LONG));
    EXPECT_TRUE(host.C<QRadioButton>(IDC_MODE_SHORT_LONG)->isChecked());
    EXPECT_EQ(GroupTitle(host, IDC_PRESS_GROUP), "短按功能码");
    EXPECT_EQ(GroupTitle(host, IDC_RELEASE_GROUP), "长按功能码");
    // The group boxes are announced under their current captions.
    EXPECT_EQ(host.C(IDC_RELEASE_GROUP)->accessibleName(), "长按功能码");
}

TEST(TarvoPage, EnterAndEscapeLeaveThePageAndEnterBreaksACodeLine) {
    TestHost host(false);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    auto* press = host.C<QPlainTextEdit>(IDC_PRESS_CODES);
    press->setFocus();
    QTest::keyClicks(press, "01");
    QTest::keyClick(press, Qt::Key_Return);
    QTest::keyClicks(press, "02");
    EXPECT_EQ(press->toPlainText(), "01\n02");

    auto* longPress = host.C<QLineEdit>(IDC_LONG_PRESS_MS);
    longPress->setFocus();
    QTest::keyClick(longPress, Qt::Key_Return);
    QTest::keyClick(longPress, Qt::Key_Escape);
    QTest::keyClick(&host.Page(), Qt::Key_Escape);
    QTest::keyClick(&host.Page(), Qt::Key_Return);
    EXPECT_TRUE(host.Page().isVisible());

    // Digits only in the long-press time.
    longPress->selectAll();
    QTest::keyClicks(longPress, "12a-3 4");
    EXPECT_EQ(longPress->text(), "1234");
}

TEST(TarvoPage, DataExchangeUsesCrLfAndPromptsForANonNumber) {
    MessageBoxRecorder boxes;
    TestHost host(false);
    CTarvoDlg& page = host.Page();
    auto* press = host.C<QPlainTextEdit>(IDC_PRESS_CODES);
    auto* longPress = host.C<QLineEdit>(IDC_LONG_PRESS_MS);

    press->setPlainText(QStringLiteral("12\n34\n"));
    host.C<QPlainTextEdit>(IDC_RELEASE_CODES)->setPlainText(QStringLiteral("A\u00A0B"));
    longPress->setText("1500");
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.m_strPressCodes, "12\r\n34\r\n");
    EXPECT_EQ(page.m_strReleaseCodes, QStringLiteral("A\u00A0B"));  // no space in its place
    EXPECT_EQ(page.m_nLongPressMs, 1500u);
    EXPECT_TRUE(boxes.Boxes().empty());

    // Empty, and too large for 32 bits: the user is asked for an unsigned number and the value
    // held before stays; the texts are read all the same.
    press->setPlainText("AB");
    for (const char* text : {"", "99999999999"}) {
        longPress->setText(text);
        EXPECT_FALSE(page.UpdateData(true));
        EXPECT_EQ(page.m_nLongPressMs, 1500u);
    }
    EXPECT_EQ(page.m_strPressCodes, "AB");
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, "请输入一个无符号整数。");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Ravlin");

    page.m_strPressCodes = "01\r\n02";
    page.m_nLongPressMs = 4000;
    EXPECT_TRUE(page.UpdateData(false));
    EXPECT_EQ(press->toPlainText(), "01\n02");
    EXPECT_EQ(longPress->text(), "4000");
}

TEST(TarvoPage, ShowsAConfigurationBlock) {
    TestHost host(false);
    auto* baud = host.C<QComboBox>(IDC_DEV_BAUD);
    // Settings that the block must replace.
    host.C<QComboBox>(IDC_DEV_PARITY)->setCurrentIndex(4);
    host.C<QCheckBox>(IDC_PRESS_HEX)->setChecked(false);

    host.Page().LoadDeviceConfig(ExampleBlock());
    EXPECT_EQ(baud->currentText(), "9600");
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_DATA_BITS)->currentText(), "8");
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_STOP_BITS)->currentText(), "2");
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_PARITY)->currentText(), "ODD");
    EXPECT_TRUE(host.C<QRadioButton>(IDC_MODE_PRESS_RELEASE)->isChecked());
    EXPECT_FALSE(host.C<QRadioButton>(IDC_MODE_SHORT_LONG)->isChecked());
    EXPECT_EQ(GroupTitle(host, IDC_PRESS_GROUP), "按下功能码");
    EXPECT_EQ(GroupTitle(host, IDC_RELEASE_GROUP), "弹起功能码");
    EXPECT_EQ(host.C<QLineEdit>(IDC_LONG_PRESS_MS)->text(), "1500");
    EXPECT_EQ(host.C<QPlainTextEdit>(IDC_PRESS_CODES)->toPlainText(), "01 02 0A");
    EXPECT_EQ(host.C<QPlainTextEdit>(IDC_RELEASE_CODES)->toPlainText(), "41 42");
    EXPECT_EQ(host.Page().m_nLongPressMs, 1500u);
    // The check boxes are left as they are.
    EXPECT_FALSE(host.C<QCheckBox>(IDC_PRESS_HEX)->isChecked());

    // No codes, a non-zero mode other than 1, indices beyond their lists.
    TarvoConfigBlock other = ExampleBlock();
    other.bytes[8] = 5;
    other.bytes[9] = 0;
    other.bytes[10] = 0;
    other.bytes[4] = 4;
    other.bytes[5] = 3;
    other.bytes[6] = 0xFF;
    host.Page().LoadDeviceConfig(other);
    EXPECT_TRUE(host.C<QPlainTextEdit>(IDC_PRESS_CODES)->toPlainText().isEmpty());
    EXPECT_TRUE(host.C<QPlainTextEdit>(IDC_RELEASE_CODES)->toPlainText().isEmpty());
    EXPECT_TRUE(host.C<QRadioButton>(IDC_MODE_SHORT_LONG)->isChecked());
    EXPECT_EQ(GroupTitle(host, IDC_PRESS_GROUP), "短按功能码");
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_DATA_BITS)->currentIndex(), -1);
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_STOP_BITS)->currentIndex(), -1);
    EXPECT_EQ(host.C<QComboBox>(IDC_DEV_PARITY)->currentIndex(), -1);
    EXPECT_EQ(baud->currentText(), "9600");  // the rest of the block is still shown

    // The baud list is searched by prefix from its second entry, wrapping round.
    struct Case {
        std::int32_t baud;
        int index;
    };
    for (const Case c : {Case{1, 4}, Case{57600, -1}, Case{1200, 0}, Case{194000, 9},
                         Case{-9600, -1}, Case{11, 8}}) {
        TarvoConfigBlock b = ExampleBlock();
        SetBaud(b, c.baud);
        host.Page().LoadDeviceConfig(b);
        EXPECT_EQ(baud->currentIndex(), c.index) << c.baud;
    }

    // Counts above 64 show the 64 codes the block holds.
    TarvoConfigBlock full = ExampleBlock();
    full.bytes[9] = 70;
    full.bytes[10] = 200;
    host.Page().LoadDeviceConfig(full);
    EXPECT_EQ(host.C<QPlainTextEdit>(IDC_PRESS_CODES)->toPlainText().split(' ').size(), 64);
    EXPECT_EQ(host.C<QPlainTextEdit>(IDC_RELEASE_CODES)->toPlainText().split(' ').size(), 64);
}

TEST(TarvoPage, LedTestsCycleIndependently) {
    MessageBoxRecorder boxes;
    g_led1Step = 0;
    g_led2Step = 0;
    TestHost host;
    host.SetDevices({5, 7}, 0);
    QWidget* led1 = host.C(IDC_LED1);
    QWidget* led2 = host.C(IDC_LED2);
    auto caption = [](QWidget* w) { return qobject_cast<QPushButton*>(w)->text(); };

    const std::vector<std::uint8_t> states = {1, 0, 2, 0, 1};
    const std::vector<QString> captions = {"关", "闪", "关", "开", "关"};
    std::size_t seen = 0;
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (i == 2) {
            host.Select(1);  // another device continues the cycle
            // LED2 keeps its own step.
            Click(led2);
            ASSERT_TRUE(host.Bus().WaitFrames(++seen));
            const Bytes f2 = host.Bus().FrameBytes().back();
            ASSERT_EQ(f2.size(), 10u) << Hex(f2);
            EXPECT_EQ(f2[4], 0x04);
            EXPECT_EQ(f2[6], 1);
            EXPECT_EQ(caption(led2), "关");
        }
        Click(led1);
        ASSERT_TRUE(host.Bus().WaitFrames(++seen)) << i;
        const Bytes f = host.Bus().FrameBytes().back();
        ASSERT_EQ(f.size(), 10u) << Hex(f);
        EXPECT_EQ(f[0], 0xFA);
        EXPECT_EQ(f[1], 0x09);
        EXPECT_EQ(f[2], i < 2 ? 5 : 7) << i;
        EXPECT_EQ(f[3], 0x00);
        EXPECT_EQ(f[4], 0x03);
        EXPECT_EQ(f[6], states[i]) << i;
        EXPECT_EQ(caption(led1), captions[i]) << i;
    }
    EXPECT_EQ(g_led1Step, 1);
    EXPECT_EQ(g_led2Step, 1);

    // Without a selected device: told, nothing sent, the step stays.
    host.Select(-1);
    Click(led2);
    Settle(150);
    EXPECT_EQ(host.Bus().Frames().size(), seen);
    EXPECT_EQ(g_led2Step, 1);
    EXPECT_EQ(caption(led2), "关");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "请选择一个设备!");
}

TEST(TarvoPage, PictureShowsEveryTextUnclipped) {
    TestHost host(false);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    CTarvoDlg& page = host.Page();
    // Every text of the template fits its rectangle in the dialog font, inside the page.
    for (QWidget* w : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const std::string name = w->accessibleName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
                << name;
        } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << name << " is clipped";
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(box->fontMetrics().horizontalAdvance(box->title()) + 16, box->width())
                << name;
        }
        EXPECT_TRUE(page.rect().contains(w->geometry())) << name;
    }
    EXPECT_TRUE(page.grab().save(QStringLiteral("tarvo-page.png")));
}
