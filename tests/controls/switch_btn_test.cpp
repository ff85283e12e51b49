// The switch as the power pages use it: a real widget on a page, driven by real mouse releases,
// its notifications recorded by the page, its pictures read back from grab().

#include "controls/switch_btn.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <functional>
#include <memory>
#include <vector>

#include "widget_driving.h"

namespace {

constexpr std::uint32_t kMessage = 1124;

// The owner page: records every notification with what the switch looked like at that moment.
class RecordingPage : public QWidget {
public:
    struct Record {
        int type;
        WPARAM wParam;
        LPARAM lParam;
        int stateSeen;
        int pendingSeen;
        bool slidingSeen;
        int framesSeen;
    };

    std::vector<Record> records;
    const CSwitchBtn* watched = nullptr;

protected:
    bool event(QEvent* e) override {
        if (auto* n = dynamic_cast<CSwitchNotifyEvent*>(e)) {
            records.push_back({static_cast<int>(e->type()), n->WParam(), n->LParam(),
                               watched->m_state, watched->m_animatePending, watched->Sliding(),
                               watched->SlideFrameCount()});
            return true;
        }
        return QWidget::event(e);
    }
};

SwitchRect R(int l, int t, int r, int b) {
    return SwitchRect{l, t, r, b};
}

bool WaitForRest(const CSwitchBtn& sw) {
    return test_support::WaitFor([&] { return !sw.Sliding() && sw.m_animatePending == 0; }, 3000);
}

bool Near(QColor c, QColor want, int tolerance) {
    return std::abs(c.red() - want.red()) <= tolerance &&
           std::abs(c.green() - want.green()) <= tolerance &&
           std::abs(c.blue() - want.blue()) <= tolerance;
}

bool AnyPixel(const QImage& image, const SwitchRect& area,
              const std::function<bool(QColor)>& test) {
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (test(image.pixelColor(x, y))) {
                return true;
            }
        }
    }
    return false;
}

// A fresh paint of the widget.
QImage Shot(QWidget& w) {
    return w.grab().toImage();
}

// What the window shows now, taken from the screen without painting anew.
QImage OnScreen(QWidget& w) {
    const QPoint at = w.mapTo(w.window(), QPoint(0, 0));
    return w.window()
        ->windowHandle()
        ->screen()
        ->grabWindow(w.window()->winId(), at.x(), at.y(), w.width(), w.height())
        .toImage();
}

class SwitchTest : public ::testing::Test {
protected:
    // Declared after the page, so the switch is destroyed first, as a member of a page would be.
    RecordingPage page;
    CSwitchBtn sw;

    void Make(const QRect& rect, bool vertical, int state, const QString& first = QString(),
              const QString& second = QString()) {
        page.resize(300, 200);
        page.watched = &sw;
        sw.m_notifyTarget = &page;
        sw.m_notifyMessage = kMessage;
        sw.Create(rect, &page, kMessage);
        sw.m_firstText = first;
        sw.m_secondText = second;
        sw.m_state = state;
        sw.m_vertical = vertical ? 1 : 0;
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    }

    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseRelease(&sw, button, Qt::NoModifier, at);
    }
};

TEST(SwitchGeometryTest, BothLayoutsTruncateAndKeepRightBottomExclusive) {
    const SwitchGeometry g = SwitchGeometry::Compute(40, 60, 10, true);
    EXPECT_EQ(g.track, R(2, 2, 40, 60));
    EXPECT_EQ(g.first, R(3, 3, 37, 22));
    EXPECT_EQ(g.second, R(3, 38, 37, 57));
    EXPECT_EQ(g.firstHit, R(2, 2, 38, 23));
    EXPECT_EQ(g.secondHit, R(2, 37, 38, 58));

    // Odd sizes and an odd gap: every half is truncated toward zero.
    const SwitchGeometry odd = SwitchGeometry::Compute(41, 61, 11, true);
    EXPECT_EQ(odd.first, R(3, 3, 38, 22));
    EXPECT_EQ(odd.second, R(3, 39, 38, 58));
    const SwitchGeometry negative = SwitchGeometry::Compute(40, 60, -11, true);
    EXPECT_EQ(negative.first, R(3, 3, 37, 32));
    EXPECT_EQ(negative.second, R(3, 28, 37, 57));

    // Exclusive right/bottom survive the conversion to QRect.
    const QRect q = g.second.ToQRect();
    EXPECT_EQ(q, QRect(3, 38, 34, 19));
    EXPECT_EQ(q.right(), 36);
    EXPECT_EQ(q.bottom(), 56);
    EXPECT_TRUE(g.secondHit.Contains(2, 37));
    EXPECT_FALSE(g.secondHit.Contains(38, 40));
    EXPECT_FALSE(g.secondHit.Contains(20, 58));

    // Side by side: the halves split left and right, and so do the hit areas.
    const SwitchGeometry h = SwitchGeometry::Compute(100, 40, 10, false);
    EXPECT_EQ(h.track, R(2, 2, 100, 40));
    EXPECT_EQ(h.first, R(3, 3, 43, 38));
    EXPECT_EQ(h.second, R(58, 3, 98, 38));
    EXPECT_EQ(h.firstHit, R(2, 2, 43, 38));
    EXPECT_EQ(h.secondHit, R(57, 2, 98, 38));

    const SwitchGeometry oddH = SwitchGeometry::Compute(101, 41, 10, false);
    EXPECT_EQ(oddH.first, R(3, 3, 43, 39));
    EXPECT_EQ(oddH.second, R(59, 3, 99, 39));
}

TEST_F(SwitchTest, CreateMakesANumberedVisibleChildNamedByItsCaptions) {
    Make(QRect(QPoint(10, 20), QSize(40, 60)), true, 0, QStringLiteral("UP"),
         QStringLiteral(" DOWN "));
    EXPECT_EQ(sw.parentWidget(), &page);
    EXPECT_EQ(sw.geometry(), QRect(10, 20, 40, 60));
    EXPECT_TRUE(sw.isVisible());
    EXPECT_EQ(sw.property("controlId").toInt(), 1124);
    sw.repaint();
    EXPECT_EQ(sw.accessibleName(), QStringLiteral("UP/DOWN"));
    EXPECT_EQ(sw.accessibleDescription(), QStringLiteral("DOWN"));
}

TEST_F(SwitchTest, ReleaseOverTheOtherHalfTogglesAndNotifiesBeforeTheRepaint) {
    Make(QRect(0, 0, 40, 60), true, 1);

    Release({20, 10});  // the knob's own half
    Release({20, 30});  // the gap
    Release({20, 45}, Qt::RightButton);
    EXPECT_EQ(sw.m_state, 1);
    EXPECT_TRUE(page.records.empty());

    Release({20, 45});
    EXPECT_EQ(sw.m_state, 0);
    ASSERT_EQ(page.records.size(), 1u);
    const auto& r = page.records[0];
    EXPECT_EQ(r.type, 1124);
    EXPECT_EQ(r.wParam, 1u);
    EXPECT_EQ(r.lParam, 0);
    EXPECT_EQ(r.stateSeen, 0);    // the state changed before the owner was told
    EXPECT_EQ(r.pendingSeen, 1);  // the slide is armed...
    EXPECT_FALSE(r.slidingSeen);  // ...but no frame was painted yet
    EXPECT_EQ(r.framesSeen, 0);
    ASSERT_TRUE(WaitForRest(sw));

    // The release alone decides: a press on the knob's half released over the other half toggles.
    QTest::mousePress(&sw, Qt::LeftButton, Qt::NoModifier, {20, 45});
    EXPECT_EQ(page.records.size(), 1u);
    Release({20, 10});
    EXPECT_EQ(sw.m_state, 1);
    ASSERT_EQ(page.records.size(), 2u);
    EXPECT_EQ(page.records[1].wParam, 0u);

    // A press on the other half released elsewhere does nothing.
    QTest::mousePress(&sw, Qt::LeftButton, Qt::NoModifier, {20, 45});
    Release({20, 30});
    EXPECT_EQ(sw.m_state, 1);
    EXPECT_EQ(page.records.size(), 2u);
}

TEST_F(SwitchTest, ReleaseOverTheSwitchCountsWhereverThePressWasUnlessAButtonTookIt) {
    Make(QRect(50, 50, 40, 60), true, 1);
    QLabel label(QStringLiteral("SEQ.SW"), &page);
    label.setGeometry(150, 10, 60, 20);
    label.show();
    QPushButton button(QStringLiteral("STOP"), &page);
    button.setGeometry(150, 60, 60, 30);
    button.show();
    int buttonClicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++buttonClicks; });
    CSwitchBtn other;
    other.m_notifyTarget = &page;
    other.m_notifyMessage = 1125;
    other.Create(QRect(100, 50, 40, 60), &page, 1125);
    other.m_vertical = 1;
    QTest::qWait(20);

    // Mouse input routed by the window, as a real mouse is: the press goes to the widget under it.
    QWindow* window = page.windowHandle();
    const auto pressRelease = [&](QPoint press, QPoint release) {
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, press);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, release);
    };

    pressRelease({10, 10}, {70, 95});  // page background -> lower half
    EXPECT_EQ(sw.m_state, 0);
    pressRelease({170, 20}, {70, 60});  // label -> upper half
    EXPECT_EQ(sw.m_state, 1);
    pressRelease({120, 60}, {70, 95});  // the other switch takes no grab either
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_EQ(other.m_state, 1);
    pressRelease({170, 75}, {70, 60});  // a button keeps the release it was pressed for
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_EQ(buttonClicks, 0);

    other.setEnabled(false);
    pressRelease({10, 10}, {120, 95});  // nothing for a disabled switch
    EXPECT_EQ(other.m_state, 1);

    ASSERT_EQ(page.records.size(), 3u);
    EXPECT_EQ(page.records[0].wParam, 1u);
    EXPECT_EQ(page.records[1].wParam, 0u);
    EXPECT_EQ(page.records[2].wParam, 1u);
    for (const auto& r : page.records) {
        EXPECT_EQ(r.type, 1124);
    }
    ASSERT_TRUE(WaitForRest(sw));
}

TEST_F(SwitchTest, SlideRunsOnATimerAndEndsOnTheFirstHalfAfterSevenSteps) {
    Make(QRect(0, 0, 40, 60), true, 0);
    Release({20, 10});
    ASSERT_EQ(sw.m_state, 1);

    // The paint draws the first step from the lower half and returns: the slide goes on without
    // holding the UI thread.
    sw.repaint();
    EXPECT_TRUE(sw.Sliding());
    EXPECT_EQ(sw.SlideFrameCount(), 1);
    EXPECT_EQ(sw.SlideKnob(), R(3, 33, 37, 52));  // started at (3, 38, 37, 57)
    const QImage frame = Shot(sw);
    EXPECT_EQ(frame.pixelColor(20, 36), sw.m_knobColor);
    EXPECT_EQ(frame.pixelColor(20, 55), sw.m_trackColor);
    EXPECT_EQ(frame.pixelColor(20, 12), sw.m_trackColor);

    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideFrameCount(), 7);
    EXPECT_EQ(sw.SlideKnob(), R(3, 3, 37, 22));

    // Sliding down takes the same seven steps.
    Release({20, 45});
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideFrameCount(), 7);
    EXPECT_EQ(sw.SlideKnob().bottom, 57);
    ASSERT_EQ(page.records.size(), 2u);
}

TEST_F(SwitchTest, OvershootingSlideSettlesOnItsHalfOnScreen) {
    // 64 px tall: the knob leaves at top 40 and passes top 3 only at 0, three pixels too far.
    Make(QRect(0, 0, 40, 64), true, 0);
    Release({20, 10});
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideFrameCount(), 8);
    EXPECT_EQ(sw.SlideKnob().top, 0);

    // What the screen shows, without painting anew: the settled knob, nothing of it above its half.
    QTest::qWait(30);
    const QImage screen = OnScreen(sw);
    EXPECT_EQ(screen.pixelColor(20, 12), sw.m_knobColor);
    EXPECT_NE(screen.pixelColor(20, 1), sw.m_knobColor);
    EXPECT_EQ(screen.pixelColor(20, 50), sw.m_trackColor);
}

TEST_F(SwitchTest, ToggleDuringASlideStartsANewSlideFromTheHalfItLeaves) {
    Make(QRect(0, 0, 40, 60), true, 1);
    Release({20, 45});
    sw.repaint();
    ASSERT_TRUE(sw.Sliding());

    Release({20, 10});
    EXPECT_FALSE(sw.Sliding());
    sw.repaint();
    EXPECT_EQ(sw.SlideKnob(), R(3, 33, 37, 52));
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideKnob().top, 3);
    ASSERT_EQ(page.records.size(), 2u);
    EXPECT_EQ(page.records[0].wParam, 1u);
    EXPECT_EQ(page.records[1].wParam, 0u);
}

TEST_F(SwitchTest, SwitchTooSmallToSlideShowsTheNewPositionAtOnce) {
    // With the halves overlapping (negative gap) the knob already stands at its end.
    sw.m_gap = -10;
    Make(QRect(0, 0, 40, 10), true, 1);
    ASSERT_EQ(sw.Geometry().first, R(3, 3, 37, 7));
    ASSERT_EQ(sw.Geometry().second, R(3, 3, 37, 7));
    Release({20, 5});
    ASSERT_EQ(sw.m_state, 0);
    sw.repaint();
    EXPECT_FALSE(sw.Sliding());
    EXPECT_EQ(sw.m_animatePending, 0);
    EXPECT_EQ(sw.SlideFrameCount(), 0);
    EXPECT_EQ(page.records.size(), 1u);
}

TEST_F(SwitchTest, DisabledSwitchNeitherTogglesNorNotifiesAndLooksTheSame) {
    Make(QRect(0, 0, 40, 60), true, 1);
    const QImage before = Shot(sw);
    sw.setEnabled(false);
    Release({20, 45});
    QTest::mouseClick(&sw, Qt::LeftButton, Qt::NoModifier, {20, 45});
    QTest::qWait(30);
    EXPECT_EQ(sw.m_state, 1);
    EXPECT_EQ(sw.m_animatePending, 0);
    EXPECT_TRUE(page.records.empty());
    EXPECT_EQ(Shot(sw), before);

    sw.setEnabled(true);
    Release({20, 45});
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_EQ(page.records.size(), 1u);
}

// Space and the button's own toggles go the way of a release on the other half: same
// notification, same slide. The keyboard focus is drawn only when it came from the keyboard.
TEST_F(SwitchTest, SpaceAndButtonTogglesMoveTheKnobAsAReleaseOnTheOtherHalf) {
    Make(QRect(0, 0, 40, 60), true, 1, QStringLiteral("UP"), QStringLiteral(" DOWN "));
    QLineEdit before(&page);  // a control ahead of the switch in the Tab order
    before.setGeometry(100, 10, 80, 20);
    before.show();
    before.setFocus();
    const QImage unfocused = Shot(sw);
    QTest::keyClick(&before, Qt::Key_Tab);
    ASSERT_TRUE(sw.hasFocus());
    EXPECT_NE(Shot(sw), unfocused);

    QTest::keyPress(&sw, Qt::Key_Space);
    EXPECT_EQ(sw.m_state, 1);  // a button acts when the key comes up
    QTest::keyRelease(&sw, Qt::Key_Space);
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_FALSE(sw.isChecked());
    ASSERT_EQ(page.records.size(), 1u);
    EXPECT_EQ(page.records[0].type, 1124);
    EXPECT_EQ(page.records[0].wParam, 1u);
    EXPECT_EQ(page.records[0].pendingSeen, 1);
    EXPECT_EQ(page.records[0].framesSeen, 0);
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideFrameCount(), 7);  // the same slide as a release on the upper half makes

    // What an assistive technology's toggle action does.
    sw.toggle();
    EXPECT_EQ(sw.m_state, 1);
    ASSERT_EQ(page.records.size(), 2u);
    EXPECT_EQ(page.records[1].wParam, 0u);
    sw.click();
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_EQ(page.records.size(), 3u);
    ASSERT_TRUE(WaitForRest(sw));

    // Disabled: no focus, and neither key nor toggle moves it.
    sw.setEnabled(false);
    EXPECT_FALSE(sw.hasFocus());
    sw.setFocus();
    EXPECT_FALSE(sw.hasFocus());
    QTest::keyClick(&sw, Qt::Key_Space);
    sw.toggle();
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_FALSE(sw.isChecked());
    EXPECT_EQ(page.records.size(), 3u);
}

// What a screen reader reads: a two-state button named by the owner, checked while the knob is on
// the first half, described by the caption under the knob, also after a direct write; and its
// toggle action.
TEST_F(SwitchTest, ScreenReaderSeesACheckableButtonWithTheCaptionUnderTheKnob) {
    Make(QRect(0, 0, 40, 60), true, 0, QStringLiteral("ON"), QStringLiteral(" OFF "));
    sw.setAccessibleName(QStringLiteral("通道1"));
    sw.repaint();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&sw);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::CheckBox);
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("通道1"));
    EXPECT_EQ(face->text(QAccessible::Description), QStringLiteral("OFF"));
    EXPECT_TRUE(face->state().checkable);
    EXPECT_FALSE(face->state().checked);
    EXPECT_TRUE(face->state().focusable);

    Release({20, 10});
    EXPECT_TRUE(face->state().checked);
    EXPECT_EQ(face->text(QAccessible::Description), QStringLiteral("ON"));
    ASSERT_TRUE(WaitForRest(sw));

    // A direct write is read at once, before any paint (a page not shown yet is never painted).
    sw.m_state = 0;
    EXPECT_FALSE(face->state().checked);
    EXPECT_EQ(face->text(QAccessible::Description), QStringLiteral("OFF"));
    EXPECT_EQ(page.records.size(), 1u);

    // The reader's toggle action is a click on the other half.
    QAccessibleActionInterface* actions = face->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(sw.m_state, 1);
    ASSERT_EQ(page.records.size(), 2u);
    EXPECT_EQ(page.records[1].wParam, 0u);
    ASSERT_TRUE(WaitForRest(sw));
}

TEST_F(SwitchTest, HorizontalHalvesAreHitLeftAndRight) {
    Make(QRect(0, 0, 100, 40), false, 1);
    Release({25, 30});  // lower part of the knob's (left) half
    Release({50, 10});  // the gap
    EXPECT_EQ(sw.m_state, 1);
    EXPECT_TRUE(page.records.empty());

    Release({75, 8});  // upper part of the right half
    EXPECT_EQ(sw.m_state, 0);
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideKnob().right, 98);  // 43 -> 98 in 11 steps of 5 px
    EXPECT_EQ(sw.SlideFrameCount(), 11);

    Release({25, 30});
    EXPECT_EQ(sw.m_state, 1);
    ASSERT_TRUE(WaitForRest(sw));
    EXPECT_EQ(sw.SlideKnob().left, 3);
    ASSERT_EQ(page.records.size(), 2u);
    EXPECT_EQ(page.records[0].wParam, 1u);
    EXPECT_EQ(page.records[1].wParam, 0u);

    const QImage image = Shot(sw);
    EXPECT_EQ(image.pixelColor(20, 20), sw.m_knobColor);
    EXPECT_EQ(image.pixelColor(80, 20), sw.m_trackColor);
}

TEST_F(SwitchTest, DirectStateWriteRepaintsWithoutSlideOrNotification) {
    Make(QRect(0, 0, 40, 60), true, 1);
    QImage image = Shot(sw);
    EXPECT_EQ(image.pixelColor(20, 12), sw.m_knobColor);
    EXPECT_EQ(image.pixelColor(20, 47), sw.m_trackColor);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(240, 240, 240));

    sw.m_state = 0;
    sw.repaint();
    EXPECT_FALSE(sw.Sliding());
    EXPECT_EQ(sw.SlideFrameCount(), 0);
    image = OnScreen(sw);
    EXPECT_EQ(image.pixelColor(20, 12), sw.m_trackColor);
    EXPECT_EQ(image.pixelColor(20, 47), sw.m_knobColor);
    EXPECT_TRUE(page.records.empty());
}

TEST_F(SwitchTest, SwitchWithoutAUsableOwnerMovesButTellsNobody) {
    Make(QRect(0, 0, 40, 60), true, 1);
    sw.m_notifyTarget = nullptr;
    Release({20, 45});
    EXPECT_EQ(sw.m_state, 0);

    // An owner that is gone is not called.
    {
        auto gone = std::make_unique<RecordingPage>();
        sw.m_notifyTarget = gone.get();
    }
    EXPECT_TRUE(sw.m_notifyTarget.isNull());
    Release({20, 10});
    EXPECT_EQ(sw.m_state, 1);

    // A message number among the toolkit's own events is never sent.
    sw.m_notifyTarget = &page;
    sw.m_notifyMessage = QEvent::Paint;
    Release({20, 45});
    EXPECT_EQ(sw.m_state, 0);
    EXPECT_TRUE(page.records.empty());
    ASSERT_TRUE(WaitForRest(sw));
}

TEST_F(SwitchTest, CaptionsTakeTheColourOfTheKnobsHalf) {
    sw.m_idleTextColor = QColor(0, 0, 255);
    sw.m_activeTextColor = QColor(255, 0, 0);
    sw.m_knobColor = QColor(0, 255, 0);
    sw.m_knobPenColor = QColor(0, 0, 0);
    Make(QRect(0, 0, 70, 110), true, 0, QStringLiteral("ON"), QStringLiteral("OFF"));
    const auto red = [](QColor c) { return Near(c, QColor(255, 0, 0), 60); };
    const auto blue = [](QColor c) { return Near(c, QColor(0, 0, 255), 60); };

    QImage image = Shot(sw);
    SwitchGeometry g = sw.Geometry();
    EXPECT_TRUE(AnyPixel(image, g.first, blue));
    EXPECT_FALSE(AnyPixel(image, g.first, red));
    EXPECT_TRUE(AnyPixel(image, g.second, red));
    EXPECT_FALSE(AnyPixel(image, g.second, blue));

    Release({35, 20});
    ASSERT_TRUE(WaitForRest(sw));
    QTest::qWait(30);
    image = Shot(sw);
    EXPECT_TRUE(AnyPixel(image, g.first, red));
    EXPECT_TRUE(AnyPixel(image, g.second, blue));
    EXPECT_FALSE(AnyPixel(image, g.second, red));

    // The caption face: "宋体" where installed, else the installed Chinese serif face, 16 points.
    const QFont font = CSwitchBtn::CaptionFont();
    EXPECT_EQ(font.pointSize(), 16);
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("宋体")) &&
        families.contains(QStringLiteral("Noto Serif CJK SC"))) {
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Noto Serif CJK SC"));
    }
}

// Renders the switches as the pages show them; with RAVLIN_SWITCH_PICTURES set, the pictures
// are written there for a person to look at.
TEST(SwitchPictureTest, PagesSwitchesRender) {
    QWidget page;
    page.resize(420, 150);
    page.setStyleSheet(QStringLiteral("background: rgb(240,240,240)"));
    struct Variant {
        QRect rect;
        const char* first;
        const char* second;
        int state;
        QColor knob;
        bool oskan;
    };
    const Variant variants[] = {
        {{10, 30, 68, 107}, "UP", " DOWN ", 0, QColor(254, 184, 66), false},
        {{88, 30, 68, 107}, "UP", " DOWN ", 1, QColor(254, 184, 66), false},
        {{166, 30, 68, 107}, "ON", " OFF ", 0, QColor(255, 0, 0), false},
        {{244, 30, 50, 105}, "ON", "OFF", 1, QColor(0, 255, 0), true},
        {{302, 30, 50, 105}, "ON", "OFF", 0, QColor(0, 255, 0), true},
    };
    std::vector<std::unique_ptr<CSwitchBtn>> switches;
    for (const Variant& s : variants) {
        auto sw = std::make_unique<CSwitchBtn>();
        sw->Create(s.rect, &page, 1124);
        sw->m_firstText = QString::fromUtf8(s.first);
        sw->m_secondText = QString::fromUtf8(s.second);
        sw->m_state = s.state;
        sw->m_vertical = 1;
        sw->m_knobColor = s.knob;
        if (s.oskan) {
            sw->m_idleTextColor = QColor(0, 0, 255);
            sw->m_activeTextColor = QColor(255, 0, 0);
        }
        switches.push_back(std::move(sw));
    }
    auto horizontal = std::make_unique<CSwitchBtn>();
    horizontal->Create(QRect(10, 2, 140, 26), &page, 1125);
    switches.push_back(std::move(horizontal));
    auto horizontalOff = std::make_unique<CSwitchBtn>();
    horizontalOff->Create(QRect(160, 2, 140, 26), &page, 1126);
    horizontalOff->m_state = 0;
    switches.push_back(std::move(horizontalOff));
    auto small = std::make_unique<CSwitchBtn>();  // the 40 x 60 example with the default captions
    small->Create(QRect(362, 30, 40, 60), &page, 1127);
    small->m_vertical = 1;
    switches.push_back(std::move(small));

    const QImage image = page.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(15 + 10, 30 + 100),
              QColor(254, 184, 66));  // first switch, knob below its caption
    const QByteArray dir = qgetenv("RAVLIN_SWITCH_PICTURES");
    if (!dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        EXPECT_TRUE(image.save(QString::fromLocal8Bit(dir) + QStringLiteral("/switch.png")));
        const QImage zoomed =
            image.scaled(image.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        EXPECT_TRUE(zoomed.save(QString::fromLocal8Bit(dir) + QStringLiteral("/switch_zoom.png")));
    }
}

}  // namespace
