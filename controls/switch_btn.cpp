#include "controls/switch_btn.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "controls/switch_accessible.h"

namespace {

constexpr int kSlideStepPixels = 5;
constexpr int kSlideStepMs = 10;
constexpr qreal kCornerRadius = 8.5;  // a 17 x 17 corner ellipse
const QColor kBackgroundColor(240, 240, 240);

// The caption font is 16-point "宋体". Where that face is not installed, an installed serif CJK
// face of the same size stands in, then any face that covers Simplified Chinese.
QString CaptionFontFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name :
             {"宋体", "SimSun", "NSimSun", "Noto Serif CJK SC", "AR PL UMing CN"}) {
            const QString candidate = QString::fromUtf8(name);
            if (families.contains(candidate)) {
                return candidate;
            }
        }
        for (const QString& candidate : families) {
            if (QFontDatabase::writingSystems(candidate).contains(
                    QFontDatabase::SimplifiedChinese)) {
                return candidate;
            }
        }
        return QString();
    }();
    return family;
}

// Draws a rounded rectangle so that an outline of `penWidth` lies inside the exclusive
// rectangle, as the platform's outlines do.
void DrawRoundRect(QPainter& painter, const SwitchRect& r, qreal penWidth) {
    const qreal w = r.right - r.left;
    const qreal h = r.bottom - r.top;
    if (w <= 0 || h <= 0) {
        return;
    }
    const qreal inset = penWidth / 2;
    painter.drawRoundedRect(QRectF(r.left + inset, r.top + inset, w - penWidth, h - penWidth),
                            kCornerRadius, kCornerRadius, Qt::AbsoluteSize);
}

void DrawCaption(QPainter& painter, const SwitchRect& r, const QString& text, const QColor& color) {
    if (r.right <= r.left || r.bottom <= r.top) {
        return;
    }
    painter.setPen(color);
    painter.drawText(r.ToQRect(), Qt::AlignCenter | Qt::TextSingleLine, text);
}

// Counts the presses the window system delivers (each once, at its first receiver), so that a
// switch can tell whether the last press went on to its page or was taken on the way.
class PressCounter : public QObject {
public:
    static std::uint64_t Count() {
        static QPointer<PressCounter> counter;
        if (counter.isNull() && QCoreApplication::instance() != nullptr) {
            counter = new PressCounter(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(counter);
        }
        return counter.isNull() ? 0 : counter->m_count;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && event->spontaneous()) {
            ++m_count;
        }
        return false;
    }

private:
    using QObject::QObject;
    std::uint64_t m_count = 1;
};

}  // namespace

QFont CSwitchBtn::CaptionFont() {
    static const QFont font = [] {
        QFont f;
        const QString family = CaptionFontFamily();
        if (!family.isEmpty()) {
            f.setFamily(family);
        }
        f.setStyleHint(QFont::Serif);
        f.setPointSize(16);
        // 宋体 sets Latin letters at half the em; a stand-in with wider Latin letters is narrowed
        // to that advance, so captions such as " DOWN " fit the halves they were made for.
        const QString sample = QStringLiteral("UP DOWN ON OFF");
        const qreal advance = QFontMetricsF(f).horizontalAdvance(sample) / sample.size();
        const qreal halfEm = QFontInfo(f).pixelSize() / 2.0;
        if (advance > halfEm && advance > 0) {
            f.setStretch(std::max(50, static_cast<int>(100.0 * halfEm / advance)));
        }
        return f;
    }();
    return font;
}

SwitchGeometry SwitchGeometry::Compute(int width, int height, int gap, bool vertical) {
    const int L = 0;
    const int T = 0;
    const int R = width;
    const int B = height;
    const int w2 = (R - L) / 2;
    const int h2 = (B - T) / 2;
    const int g = gap / 2;

    SwitchGeometry geometry;
    geometry.track = {L + 2, T + 2, R, B};
    if (vertical) {
        geometry.first = {L + 3, T + 3, R - 3, T + h2 - g - 3};
        geometry.second = {L + 3, B - h2 + g + 3, R - 3, B - 3};
        geometry.firstHit = {L + 2, T + 2, R - 2, T + h2 - g - 2};
        geometry.secondHit = {L + 2, B - h2 + g + 2, R - 2, B - 2};
    } else {
        geometry.first = {L + 3, T + 3, L + w2 - g - 2, B - 2};
        geometry.second = {R - w2 + g + 3, T + 3, R - 2, B - 2};
        // Side by side, the halves are hit left and right.
        geometry.firstHit = {L + 2, T + 2, L + w2 - g - 2, B - 2};
        geometry.secondHit = {R - w2 + g + 2, T + 2, R - 2, B - 2};
    }
    return geometry;
}

// The accessibility interface is registered before the button base is built: the base's set-up
// can be the switch's first accessibility event, which makes and keeps its interface.
CSwitchBtn::CSwitchBtn(QWidget* parent) : QAbstractButton((InstallSwitchAccessibility(), parent)) {
    // Every paint covers the whole client area from the off-screen buffer: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCheckable(true);
    setChecked(m_state != 0);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::toggled, this, &CSwitchBtn::OnButtonToggled);
    m_slideTimer.setInterval(kSlideStepMs);
    m_slideTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_slideTimer, &QTimer::timeout, this, &CSwitchBtn::OnSlideTick);
}

CSwitchBtn::~CSwitchBtn() = default;

void CSwitchBtn::Create(const QRect& rect, QWidget* parent, int id) {
    if (parentWidget() != nullptr) {
        parentWidget()->removeEventFilter(this);
    }
    setParent(parent);
    if (parent != nullptr) {
        PressCounter::Count();  // starts counting before the first press
        parent->installEventFilter(this);
    }
    setGeometry(rect);
    setProperty("controlId", id);
    UpdateAccessibleText();
    show();
}

SwitchGeometry CSwitchBtn::Geometry() const {
    return SwitchGeometry::Compute(width(), height(), m_gap, m_vertical != 0);
}

QString CSwitchBtn::SpokenName() const {
    // The owner named the switch itself when its name is not the one made from the captions.
    if (!accessibleName().isEmpty() && accessibleName() != m_autoName) {
        return accessibleName();
    }
    return CaptionName();
}

QString CSwitchBtn::CaptionName() const {
    return m_firstText.trimmed() + QLatin1Char('/') + m_secondText.trimmed();
}

QString CSwitchBtn::KnobCaption() const {
    return (m_state != 0 ? m_firstText : m_secondText).trimmed();
}

void CSwitchBtn::Toggle() {
    if (isEnabled()) {
        MoveKnob(m_state == 0);
    }
}

// QAbstractButton::click() ends here.
void CSwitchBtn::nextCheckState() {
    Toggle();
}

void CSwitchBtn::UpdateAccessibleText() {
    // Captions are written by the owner after Create, so the names follow them at every paint,
    // unless the owner named the switch itself (which function or channel it drives). The
    // switch's accessibility interface reads the fields directly, so a reader is current even
    // before the first paint.
    const QString name = CaptionName();
    if (accessibleName() != name &&
        (accessibleName().isEmpty() || accessibleName() == m_autoName)) {
        setAccessibleName(name);
    }
    m_autoName = name;
    const QString position = KnobCaption();
    if (accessibleDescription() != position) {
        setAccessibleDescription(position);
    }
    SyncChecked();
}

// The button's checked state follows m_state: direct writes of m_state show in it at the next
// paint, as they do on screen.
void CSwitchBtn::SyncChecked() {
    const bool checked = m_state != 0;
    if (isChecked() != checked) {
        m_syncingChecked = true;
        setChecked(checked);
        m_syncingChecked = false;
    }
}

// A toggle of the button that the switch did not make itself comes from outside (an assistive
// technology's action, click(), toggle()): it moves the knob as a release on the other half
// would, or is undone when the switch is disabled.
void CSwitchBtn::OnButtonToggled(bool checked) {
    if (m_syncingChecked || checked == (m_state != 0)) {
        return;
    }
    if (!isEnabled()) {
        SyncChecked();
        return;
    }
    MoveKnob(checked);
}

bool CSwitchBtn::SlideAtEnd() const {
    if (m_vertical != 0) {
        return m_slideToFirst ? m_slideKnob.top <= 3 : m_slideKnob.bottom >= height() - 3;
    }
    return m_slideToFirst ? m_slideKnob.left <= 3 : m_slideKnob.right >= width() - 3;
}

// Starts the slide of a toggle: the knob starts on the half it is leaving and the first step is
// drawn by the paint that started it; the timer draws the others, one every 10 ms.
void CSwitchBtn::BeginSlide(const SwitchGeometry& geometry) {
    m_slideToFirst = m_state != 0;
    m_slideKnob = m_slideToFirst ? geometry.second : geometry.first;
    m_slideFrames = 0;
    if (SlideAtEnd()) {
        // Nothing to slide: this paint shows the new position at once.
        m_animatePending = 0;
        return;
    }
    m_slideActive = true;
    StepKnob();
    m_slideTimer.start();
}

void CSwitchBtn::StepKnob() {
    const int step = m_slideToFirst ? -kSlideStepPixels : kSlideStepPixels;
    if (m_vertical != 0) {
        m_slideKnob.top += step;
        m_slideKnob.bottom += step;
    } else {
        m_slideKnob.left += step;
        m_slideKnob.right += step;
    }
    ++m_slideFrames;
}

void CSwitchBtn::OnSlideTick() {
    if (SlideAtEnd()) {
        // The last step may overshoot its half by up to 4 px; one more paint settles the knob.
        m_slideTimer.stop();
        m_slideActive = false;
        m_animatePending = 0;
        update();
        return;
    }
    StepKnob();
    update();
}

void CSwitchBtn::paintEvent(QPaintEvent*) {
    UpdateAccessibleText();
    const SwitchGeometry geometry = Geometry();
    if (m_animatePending != 0 && !m_slideActive) {
        BeginSlide(geometry);
    }
    if (width() <= 0 || height() <= 0) {
        return;
    }

    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    buffer.fill(kBackgroundColor);
    {
        QPainter painter(&buffer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(CaptionFont());

        // The keyboard focus shows as the track's outline in the highlight colour.
        painter.setBrush(m_trackColor);
        const bool showFocus = m_showFocus && hasFocus();
        painter.setPen(QPen(showFocus ? palette().color(QPalette::Highlight) : m_trackPenColor, 2,
                            Qt::SolidLine));
        DrawRoundRect(painter, geometry.track, 2);

        const SwitchRect knob =
            m_slideActive ? m_slideKnob : (m_state != 0 ? geometry.first : geometry.second);
        painter.setBrush(m_knobColor);
        painter.setPen(QPen(m_knobPenColor, 1, Qt::SolidLine));
        DrawRoundRect(painter, knob, 1);

        const bool onFirst = m_state != 0;
        DrawCaption(painter, geometry.first, m_firstText,
                    onFirst ? m_activeTextColor : m_idleTextColor);
        DrawCaption(painter, geometry.second, m_secondText,
                    onFirst ? m_idleTextColor : m_activeTextColor);
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

void CSwitchBtn::Notify(WPARAM previousState) {
    QObject* target = m_notifyTarget;
    // An owner that has not named itself (or a message number outside the user range, which would
    // collide with the toolkit's own events) is told nothing; the switch still moves.
    if (target == nullptr || m_notifyMessage < static_cast<std::uint32_t>(QEvent::User) ||
        m_notifyMessage > static_cast<std::uint32_t>(QEvent::MaxUser)) {
        return;
    }
    CSwitchNotifyEvent event(m_notifyMessage, previousState, 0);
    QCoreApplication::sendEvent(target, &event);
}

// The button's release alone decides, wherever the press happened: the switch takes no part in
// the press and holds no grab. Over the switch, a release toggles when it lies on the half
// without the knob. Elsewhere it goes on to the page, where a sibling switch under the cursor may
// take it (see eventFilter).
// Mouse input is the switch's own (see mouseReleaseEvent and eventFilter), not the button's:
// the button would take the press, grab the mouse and swallow input while disabled.
bool CSwitchBtn::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::HoverMove:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::ContextMenu:
        case QEvent::Wheel:
            return QWidget::event(event);
        default:
            return QAbstractButton::event(event);
    }
}

// The switch takes no part in the press: it goes on to the page.
void CSwitchBtn::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
}

void CSwitchBtn::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
}

// Space moves the knob to the other half when it is released, as a button clicks; other keys go
// on to the page and the dialog (Tab, Enter, Escape).
void CSwitchBtn::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat()) {
            m_spaceDown = true;
        }
        if (!m_showFocus) {
            m_showFocus = true;
            update();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSwitchBtn::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat() && m_spaceDown) {
            m_spaceDown = false;
            Toggle();
        }
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CSwitchBtn::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        m_showFocus = true;
    } else if (event->reason() == Qt::MouseFocusReason) {
        m_showFocus = false;
    }
    QAbstractButton::focusInEvent(event);
}

void CSwitchBtn::focusOutEvent(QFocusEvent* event) {
    m_spaceDown = false;
    // Leaving the window keeps the focus where it was; it shows again on return.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        m_showFocus = false;
    }
    QAbstractButton::focusOutEvent(event);
}

void CSwitchBtn::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !rect().contains(pos)) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    ReleaseAt(pos);
}

// The toolkit gives a release to the widget that took the press. A press on a spot of the page
// that takes no mouse input (the page itself, a label, a group box, a switch) goes on to the page,
// and so does its release; when that release lies over this switch it is the switch's, as a
// release over a window that nothing has captured is. A press that a control took (a button)
// never reaches the page: the release that ends it is left alone even when the control passes it
// on, so dragging off a button onto a switch moves nothing.
bool CSwitchBtn::eventFilter(QObject* watched, QEvent* event) {
    QWidget* page = parentWidget();
    if (watched != page) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseButtonPress) {
        m_pagePress = PressCounter::Count();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        const QPoint onPage = release->position().toPoint();
        if (release->button() == Qt::LeftButton && isEnabled() &&
            m_pagePress == PressCounter::Count() && page->childAt(onPage) == this) {
            ReleaseAt(mapFromParent(onPage));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSwitchBtn::ReleaseAt(QPoint pos) {
    if (!isEnabled()) {
        return;
    }
    const SwitchGeometry geometry = Geometry();
    if (m_state != 0 && geometry.secondHit.Contains(pos.x(), pos.y())) {
        MoveKnob(false);
    } else if (m_state == 0 && geometry.firstHit.Contains(pos.x(), pos.y())) {
        MoveKnob(true);
    }
}

// Moves the knob to the other half with a slide and tells the owner the position it left.
void CSwitchBtn::MoveKnob(bool toFirst) {
    const WPARAM previous = m_state != 0 ? 1 : 0;
    m_state = toFirst ? 1 : 0;
    // A toggle during a slide starts a new slide from the half the knob now leaves.
    m_slideTimer.stop();
    m_slideActive = false;
    m_animatePending = 1;
    UpdateAccessibleText();

    // The owner may close the page (and this switch) while it handles the notification.
    const QPointer<CSwitchBtn> self(this);
    Notify(previous);
    if (self) {
        update();
    }
}
