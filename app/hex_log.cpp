#include "app/hex_log.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

CHexLog::CHexLog(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CHexLog::Flush);
}

void CHexLog::Attach(QPlainTextEdit* edit) {
    m_edit = edit;
    if (!m_edit) {
        return;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(std::max(1, m_edit->font().pointSize()));
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
    // Hex digits and blanks need no shaping (no ligatures, no kerning at a fixed pitch); laying
    // out the log's paragraph without it costs a fraction.
    font.setStyleStrategy(QFont::PreferNoShaping);
    m_edit->setFont(font);
    m_edit->document()->setUndoRedoEnabled(false);
    m_edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_edit->viewport()->installEventFilter(this);
    // Lay the edit out now, so that its viewport has its real width before it is first shown.
    QResizeEvent resize(m_edit->size(), m_edit->size());
    QCoreApplication::sendEvent(m_edit, &resize);
    UpdateWidth();
}

void CHexLog::Append(std::uint8_t byte) {
    if (DisplayedLines() > kMaxLines) {
        m_logText.clear();
        m_shown = 0;
        m_replace = true;
    }
    const QChar token[kTokenChars] = {QLatin1Char(kHexDigits[byte >> 4]),
                                      QLatin1Char(kHexDigits[byte & 0x0F]), QLatin1Char(' ')};
    m_logText.append(token, kTokenChars);
    if (m_edit && !m_timer.isActive()) {
        m_timer.start(RefreshMs());
    }
}

void CHexLog::Clear() {
    m_logText.clear();
    m_shown = 0;
    m_replace = false;
    m_timer.stop();
    if (m_edit) {
        m_edit->clear();
    }
}

int CHexLog::RefreshMs() const {
    return std::max<int>(kRefreshMs, static_cast<int>(kCostShare * m_lastFlushNs / 1000000));
}

void CHexLog::FlushIfDue() {
    if (HasPending() && (!m_sinceFlush.isValid() || m_sinceFlush.elapsed() >= RefreshMs())) {
        Flush();
    }
}

void CHexLog::Flush() {
    m_timer.stop();
    if (!m_edit || !HasPending()) {
        return;
    }
    m_sinceFlush.start();
    if (m_replace) {
        m_edit->setPlainText(m_logText);
        m_shown = m_logText.size();
    }
    // The move to the end and the insertion happen in one edit block: the paragraph is laid
    // out once, when the block ends, and the cursor doesn't work out its x position (which
    // shapes the last line again) at each step; it does so if it ever moves up or down.
    QTextCursor end(m_edit->document());
    end.beginEditBlock();
    end.movePosition(QTextCursor::End);
    if (m_shown < m_logText.size()) {
        end.insertText(m_logText.sliced(m_shown));
    }
    end.endEditBlock();
    m_shown = m_logText.size();
    m_replace = false;
    m_edit->setTextCursor(end);
    m_edit->ensureCursorVisible();
    m_lastFlushNs = m_sinceFlush.nsecsElapsed();
}

int CHexLog::DisplayedLines() const {
    const auto tokens = static_cast<int>(m_logText.size() / kTokenChars);
    return std::max(1, (tokens + m_tokensPerLine - 1) / m_tokensPerLine);
}

bool CHexLog::eventFilter(QObject* watched, QEvent* event) {
    if (m_edit && watched == m_edit->viewport() && event->type() == QEvent::Resize) {
        UpdateWidth();
    }
    return QObject::eventFilter(watched, event);
}

void CHexLog::UpdateWidth() {
    if (!m_edit) {
        return;
    }
    // The width the text layout wraps at: the viewport less the document's margin each side.
    const qreal available = m_edit->viewport()->width() - 2 * m_edit->document()->documentMargin();
    const qreal advance = QFontMetricsF(m_edit->font()).horizontalAdvance(QLatin1Char('0'));
    int chars = advance > 0 ? static_cast<int>(std::floor(available / advance)) : 1;
    // Guard against rounding at the edge: n characters fit when their run is no wider.
    const QFontMetricsF metrics(m_edit->font());
    while (chars > 1 && metrics.horizontalAdvance(QString(chars, QLatin1Char('0'))) > available) {
        --chars;
    }
    m_charsPerLine = std::max(1, chars);
    m_tokensPerLine = std::max(1, (m_charsPerLine + 1) / kTokenChars);
}
