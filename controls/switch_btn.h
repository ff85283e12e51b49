#pragma once
// CSwitchBtn: the self-drawn two-position switch of the power pages. A rounded track split into
// two halves, each with a caption, and a rounded knob over one half. Releasing the left button
// over the half without the knob moves the knob there with a short slide and sends the owner the
// message it chose (wParam = the position before the click, lParam = 0).
//
// The owner writes the public fields directly, like the members of a plain control object:
// m_notifyTarget and m_notifyMessage before Create, captions, m_state, m_vertical and colours
// after Create and before the first paint. A direct write of m_state shows at the next paint,
// without slide and without notification.
//
// For the keyboard and assistive technology the switch is a checkable button: checked while the
// knob is on the first half, named by the owner (or by its captions), described by the caption
// under the knob. It takes the focus (Tab, or a click), and Space moves the knob to the other half
// exactly as a release there does. Focus that came from the keyboard shows as a highlighted track
// outline; otherwise the switch looks the same with or without the focus. Anything that toggles the
// button (an assistive technology's action, click(), toggle(), setChecked()) moves the knob the
// same way.

#include <QAbstractButton>
#include <QColor>
#include <QEvent>
#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "platform/window_message.h"

// The notification a switch sends its owner: event type = the switch's m_notifyMessage (also
// its control id), delivered synchronously with QCoreApplication::sendEvent. The owner handles
// it in its event() override.
class CSwitchNotifyEvent : public QEvent {
public:
    CSwitchNotifyEvent(std::uint32_t message, WPARAM wParam, LPARAM lParam)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam) {}

    WPARAM WParam() const { return m_wParam; }
    LPARAM LParam() const { return m_lParam; }

private:
    WPARAM m_wParam;
    LPARAM m_lParam;
};

// A rectangle as the switch computes it: left, top, right, bottom with right and bottom
// exclusive. QRect's right()/bottom() are inclusive, so conversion goes through the size.
struct SwitchRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    QRect ToQRect() const { return QRect(QPoint(left, top), QSize(right - left, bottom - top)); }
    bool operator==(const SwitchRect&) const = default;
};

// Every rectangle of one layout, computed from the client size, the gap and the layout.
struct SwitchGeometry {
    SwitchRect track;
    SwitchRect first;      // knob position for state 1 and the first caption
    SwitchRect second;     // knob position for state 0 and the second caption
    SwitchRect firstHit;   // a release here moves the knob to the first half
    SwitchRect secondHit;  // a release here moves the knob to the second half

    static SwitchGeometry Compute(int width, int height, int gap, bool vertical);
};

class CSwitchBtn : public QAbstractButton {
    Q_OBJECT

public:
    explicit CSwitchBtn(QWidget* parent = nullptr);
    ~CSwitchBtn() override;

    // Makes the switch a visible child of `parent` over `rect` (parent client coordinates) with
    // the dynamic property controlId = id.
    void Create(const QRect& rect, QWidget* parent, int id);

    // The rectangles for the current size, gap and layout.
    SwitchGeometry Geometry() const;

    // The slide: whether it is running, how many 5 px steps it has drawn (of the current slide,
    // or of the last one once it has ended) and where its knob is.
    bool Sliding() const { return m_slideActive; }
    int SlideFrameCount() const { return m_slideFrames; }
    SwitchRect SlideKnob() const { return m_slideKnob; }

    // The caption font: 16-point "宋体", or the installed face that stands in for it.
    static QFont CaptionFont();

    // What a screen reader announces, from the current fields: the name the owner gave the
    // switch, else its captions ("UP/DOWN"); and the caption of the half under the knob.
    QString SpokenName() const;
    QString KnobCaption() const;
    // Moves the knob to the other half as a release there does; nothing while disabled.
    void Toggle();

    std::uint32_t m_notifyMessage = 0;
    QPointer<QObject> m_notifyTarget;
    int m_animatePending = 0;
    int m_state = 1;
    QString m_firstText = QStringLiteral("左边");
    QString m_secondText = QStringLiteral("右边");
    QColor m_idleTextColor = QColor(0, 0, 0);
    QColor m_activeTextColor = QColor(255, 255, 255);
    QColor m_trackColor = QColor(200, 200, 200);
    QColor m_knobColor = QColor(254, 184, 66);
    QColor m_trackPenColor = QColor(128, 128, 128);
    QColor m_knobPenColor = QColor(0, 0, 255);
    int m_gap = 10;
    int m_vertical = 0;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The name made from the captions ("UP/DOWN").
    QString CaptionName() const;
    void ReleaseAt(QPoint pos);
    void MoveKnob(bool toFirst);
    void OnButtonToggled(bool checked);
    void SyncChecked();
    void Notify(WPARAM previousState);
    void BeginSlide(const SwitchGeometry& geometry);
    void OnSlideTick();
    void StepKnob();
    bool SlideAtEnd() const;
    void UpdateAccessibleText();

    QString m_autoName;             // the accessible name made from the captions
    std::uint64_t m_pagePress = 0;  // the press that last went on to the page
    bool m_syncingChecked = false;  // the switch itself is setting the button's checked state
    bool m_spaceDown = false;       // Space went down on the switch and is not yet released
    bool m_showFocus = false;       // the focus came from the keyboard and is drawn
    QTimer m_slideTimer;
    bool m_slideActive = false;
    bool m_slideToFirst = false;
    int m_slideFrames = 0;
    SwitchRect m_slideKnob;
};
