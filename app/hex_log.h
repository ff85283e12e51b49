#pragma once
// The received-bytes log: every byte as "%02X " in arrival order. Before a byte is written, a
// log that shows more than 400 displayed (wrapped) lines is emptied, so it never shows more
// than 401.
//
// Appending must stay cheap however much arrives, so the log never asks the text layout
// anything per byte. It uses a fixed-pitch font: every token is three characters, a displayed
// line holds floor((characters per line + 1) / 3) tokens (the blank after the last token of a
// line hangs past the edge), and the number of displayed lines follows from the number of
// tokens. The whole text is kept in m_logText; the widget catches up at most once per screen
// refresh (a ~16 ms timer appends the part it lacks, or replaces the text after an emptying),
// and then puts the caret at the end and scrolls it into view. Catching up lays the log's one
// paragraph out again, which costs more the longer it is: when it took long, the next catching
// up waits kCostShare times as long, so that on a flooded line the log takes a bounded share of
// the thread rather than most of it.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>

class QPlainTextEdit;

class CHexLog : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 400;
    static constexpr int kTokenChars = 3;
    static constexpr int kRefreshMs = 16;
    static constexpr int kCostShare = 8;

    explicit CHexLog(QObject* parent = nullptr);

    // Takes over a multi-line edit: gives it the fixed-pitch font and follows its width.
    void Attach(QPlainTextEdit* edit);

    // Logs one received byte.
    void Append(std::uint8_t byte);
    // Empties the text and the widget at once.
    void Clear();
    // Brings the widget up to date now (the timer does it otherwise).
    void Flush();
    // Flushes when the last catching up is a refresh period ago: the end of a run of received
    // bytes catches up without waking the thread again for the timer.
    void FlushIfDue();

    const QString& Text() const { return m_logText; }
    // Displayed lines of the current text at the current width (an empty log shows one).
    int DisplayedLines() const;
    int CharsPerLine() const { return m_charsPerLine; }
    int TokensPerLine() const { return m_tokensPerLine; }
    bool HasPending() const { return m_replace || m_shown < m_logText.size(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateWidth();
    // How long after the last catching up the next one is due.
    int RefreshMs() const;

    QPlainTextEdit* m_edit = nullptr;
    QString m_logText;       // the whole text of the log
    qsizetype m_shown = 0;   // characters of m_logText the widget shows; it catches up on the rest
    bool m_replace = false;  // the log was emptied since: the widget gets m_logText whole
    int m_charsPerLine = 1;
    int m_tokensPerLine = 1;
    QTimer m_timer;
    QElapsedTimer m_sinceFlush;  // started at the last catching up
    qint64 m_lastFlushNs = 0;    // what the last catching up took
};
