// The received-bytes log: bytes from a real port in order, the 400-line rule at its edge (and
// that the counted lines are the lines the widget really shows), "清空" while bytes arrive,
// and the caret kept at the end.

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <atomic>
#include <memory>
#include <thread>

#include "app/ravlin_dlg.h"
#include "dialog_driver.h"
#include "gui_test_support.h"
#include "platform/pseudo_terminal.h"
#include "res/resource.h"

using namespace gui_test;

namespace {

QString Hex(std::uint8_t b) {
    return QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

class HexLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        m_edit = Control<QPlainTextEdit>(m_dlg.get(), IDC_LOG);
        ASSERT_NE(m_edit, nullptr);
    }

    void Receive(std::uint8_t b) { m_dlg->MessageOwner()->SendMessage(WM_SERIAL_RXBYTE, b, 901); }
    // Lines the widget's own layout shows for its text.
    int LaidOutLines() {
        m_dlg->Log().Flush();
        QTextBlock block = m_edit->document()->firstBlock();
        m_edit->document()->documentLayout()->blockBoundingRect(block);  // lays the block out
        return block.layout()->lineCount();
    }
    // Fills the log up to exactly `lines` displayed lines.
    void FillLines(int lines) {
        const int tokens = lines * m_dlg->Log().TokensPerLine();
        for (int i = 0; i < tokens; ++i) {
            Receive(static_cast<std::uint8_t>(i));
        }
    }
    // A new dialog that lists `pty`, published as "bus-a", with that port open.
    void OpenOnPublishedPort(PseudoTerminal& pty) {
        pty.Publish("bus-a");
        m_dlg = ShowMainDialog();
        ASSERT_NE(m_dlg, nullptr);
        OpenPort(*m_dlg, QStringLiteral("bus-a"));
        m_edit = Control<QPlainTextEdit>(m_dlg.get(), IDC_LOG);
    }

    MessageBoxRecorder m_boxes;
    std::unique_ptr<CRavlinDlg> m_dlg;
    QPlainTextEdit* m_edit = nullptr;
};

TEST_F(HexLogTest, BytesFromThePortAppearInOrderAsHex) {
    PseudoTerminal pty;
    OpenOnPublishedPort(pty);
    ASSERT_TRUE(m_dlg->PortOpen());
    ASSERT_TRUE(SyncWithMonitor(*m_dlg, pty));

    pty.Write({0xFA, 0x08, 0x00, 0x05, 0xFE, 0x00, 0x11, 0x22, 0x33, 0x44});
    const QString expected = QStringLiteral("FA 08 00 05 FE 00 11 22 33 44 ");
    EXPECT_TRUE(WaitFor([&] { return m_edit->toPlainText() == expected; }))
        << m_edit->toPlainText().toStdString();
    EXPECT_EQ(m_dlg->Log().Text(), expected);
    EXPECT_EQ(m_edit->textCursor().position(), expected.size());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HexLogTest, EmptiedOnlyWhenMoreThan400LinesShowBeforeTheByte) {
    const int perLine = m_dlg->Log().TokensPerLine();
    ASSERT_GT(perLine, 1);
    FillLines(400);
    EXPECT_EQ(m_dlg->Log().DisplayedLines(), 400);
    EXPECT_EQ(LaidOutLines(), 400);

    Receive(0xAB);  // 400 lines: simply appended, starting line 401
    EXPECT_EQ(m_dlg->Log().DisplayedLines(), 401);
    EXPECT_EQ(LaidOutLines(), 401);
    EXPECT_TRUE(m_dlg->Log().Text().endsWith(QStringLiteral("AB ")));
    EXPECT_EQ(m_dlg->Log().Text().size(), (400 * perLine + 1) * 3);

    Receive(0xCD);  // 401 lines: emptied first, then written
    EXPECT_EQ(m_dlg->Log().Text(), QStringLiteral("CD "));
    m_dlg->Log().Flush();
    EXPECT_EQ(m_edit->toPlainText(), QStringLiteral("CD "));
    EXPECT_EQ(m_dlg->Log().DisplayedLines(), 1);
}

TEST_F(HexLogTest, CountedLinesMatchTheWidgetAtOtherWidthsAndFollowResizes) {
    for (int width : {180, 263, 331}) {
        m_edit->setFixedWidth(width);
        QCoreApplication::processEvents();
        Click(FindControl(m_dlg.get(), IDC_CLEAR_LOG));
        const int perLine = m_dlg->Log().TokensPerLine();
        for (int i = 0; i < 7 * perLine; ++i) {
            Receive(0x5A);
        }
        EXPECT_EQ(m_dlg->Log().DisplayedLines(), 7) << width;
        EXPECT_EQ(LaidOutLines(), 7) << width;
        Receive(0x5A);
        EXPECT_EQ(m_dlg->Log().DisplayedLines(), 8) << width;
        EXPECT_EQ(LaidOutLines(), 8) << width;
    }
}

TEST_F(HexLogTest, CaretStaysAtTheEndAndTheLastLineInView) {
    FillLines(120);
    Receive(0x01);
    m_dlg->Log().Flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_edit->textCursor().position(), m_edit->document()->characterCount() - 1);
    QScrollBar* bar = m_edit->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(HexLogTest, ClearWhileBytesArriveKeepsAContiguousTail) {
    PseudoTerminal pty;
    OpenOnPublishedPort(pty);

    constexpr int kTotal = 3000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kTotal; i += 10) {
            std::vector<std::uint8_t> chunk;
            for (int j = i; j < i + 10; ++j) {
                chunk.push_back(static_cast<std::uint8_t>(j));
            }
            pty.Write(chunk);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return m_dlg->Log().Text().size() >= 600 * 3; }));
    Click(FindControl(m_dlg.get(), IDC_CLEAR_LOG));
    EXPECT_TRUE(m_edit->toPlainText().isEmpty());
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    writer.join();
    const QString last = Hex(static_cast<std::uint8_t>(kTotal - 1));
    ASSERT_TRUE(WaitFor([&] { return m_dlg->Log().Text().endsWith(last); }));
    EXPECT_TRUE(WaitFor([&] { return m_edit->toPlainText() == m_dlg->Log().Text(); }));

    // What is left is an unbroken run of the stream that ends with its last byte.
    const QStringList tokens = m_dlg->Log().Text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_FALSE(tokens.isEmpty());
    EXPECT_LE(tokens.size(), kTotal - 600);
    for (int i = 1; i < tokens.size(); ++i) {
        ASSERT_EQ((tokens[i - 1].toInt(nullptr, 16) + 1) & 0xFF, tokens[i].toInt(nullptr, 16))
            << "gap at token " << i;
    }
}

}  // namespace
