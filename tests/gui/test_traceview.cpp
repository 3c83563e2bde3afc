// The trace view RE_I2CMonitor as a real widget on the offscreen platform: its setup, its
// write operations, and the decoder's output in it compared with the recording view.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>
#include <memory>
#include <random>

#include "../unit/test_decoder_fakeview.h"
#include "capturestore.h"
#include "iictexte.h"
#include "iicwatch.h"
#include "minirtf.h"
#include "projectsettings.h"
#include "qtapp.h"
#include "rtfwriter.h"
#include "storeview.h"
#include "tracedecoder.h"
#include "traceview.h"

namespace {

KEVO_TEST_APPLICATION(QApplication);

struct CharAttr {
    COLORREF color;
    StyleSet styles;
    bool operator==(const CharAttr& o) const { return color == o.color && styles == o.styles; }
};

COLORREF colorRefOf(const QColor& c) {
    return COLORREF(c.red()) | COLORREF(c.green()) << 8 | COLORREF(c.blue()) << 16;
}

// A run without a colour of its own: drawn in the palette's text colour, whatever that is.
constexpr COLORREF NoColour = 0xFFFFFFFF;

COLORREF colorOf(const QTextCharFormat& f) {
    return f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() == Qt::SolidPattern
               ? colorRefOf(f.foreground().color())
               : NoColour;
}

StyleSet stylesOf(const QTextCharFormat& f) {
    StyleSet s = 0;
    if (f.fontWeight() >= QFont::Bold) s |= StyleBold;
    if (f.fontItalic()) s |= StyleItalic;
    if (f.fontUnderline()) s |= StyleUnderline;
    if (f.fontStrikeOut()) s |= StyleStrikeOut;
    return s;
}

// Colour and styles of every character of the widget, line breaks left out.
std::vector<CharAttr> widgetAttributes(const TraceView& v) {
    std::vector<CharAttr> out;
    for (QTextBlock b = v.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const CharAttr a{colorOf(f.charFormat()), stylesOf(f.charFormat())};
            out.insert(out.end(), size_t(f.length()), a);
        }
    return out;
}

// The same for the recording view, whose writes all went to the end.
std::vector<CharAttr> fakeAttributes(const FakeView& v) {
    std::vector<CharAttr> out;
    for (const TraceWrite& w : v.writes)
        out.insert(out.end(), size_t(QString::fromUtf8(w.text.c_str()).size()), CharAttr{w.color, w.styles});
    return out;
}

class TraceViewTest : public ::testing::Test, protected kevosupport::StoreAndTraceView {
  protected:
    void SetUp() override {
        resetProjectSettings();
        resetTraceDecoder();
        installStoreAndView();
    }
    void TearDown() override { uninstallStoreAndView(); }
};

void fillRandomCapture(CaptureStore& s, int telegrams, uint32_t seed) {
    const std::vector<uint8_t> bytes = randomCapture(telegrams, seed);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) s.AppendBusEvent(bytes[i], bytes[i + 1]);
}

TEST_F(TraceViewTest, ControlSetUp) {
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(view->document()->isUndoRedoEnabled());
    EXPECT_EQ(view->document()->maximumBlockCount(), 0);
    EXPECT_EQ(view->font().families().value(0), QStringLiteral("Courier New"));
    EXPECT_EQ(view->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());  // whatever the fallback is, it is monospaced
    const QPalette p = view->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight),
              p.color(QPalette::Active, QPalette::Highlight));

    view->setLeftIndent(48);
    EXPECT_EQ(view->viewport()->geometry().left() - view->frameWidth(), 48);
    view->setBackgroundColor(0xF0FBFF);
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(0xFF, 0xFB, 0xF0));
    EXPECT_EQ(view->palette().color(QPalette::Window), QColor(0xFF, 0xFB, 0xF0));
}

TEST_F(TraceViewTest, PrintedLinesWrapAtThePageEdge) {
    std::string line = "00000  »A0 00";
    for (int i = 0; i < 60; ++i) line += " 3F";
    view->addLine(line + "«");
    const std::unique_ptr<QTextDocument> doc = view->printDocument();
    doc->setPageSize(QSizeF(300, 10000));
    EXPECT_LE(doc->documentLayout()->documentSize().width(), 300);
}

TEST_F(TraceViewTest, LineAndCaretOperations) {
    view->insertAtCaret("Kopf");  // fills the empty first line
    view->addLine("zwei");
    view->addLine("");  // a real empty last line
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Kopf\nzwei\n"));
    EXPECT_EQ(view->textLength(), 10);
    EXPECT_EQ(view->caretPos(), 10);  // a caret at the end stays there
    view->insertAtCaret("drei");      // fills it
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Kopf\nzwei\ndrei"));

    view->setCaretPos(2);
    view->addLine("vier");
    EXPECT_EQ(view->caretPos(), 2);  // elsewhere it is left alone
    view->setSelAttributes(0x0000FF, StyleBold | StyleStrikeOut);
    view->insertAtCaret("»");
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Ko»pf\nzwei\ndrei\nvier"));
    EXPECT_EQ(view->caretPos(), 3);
    QTextCursor c(view->document());
    c.setPosition(3);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(0xFF, 0, 0));
    EXPECT_EQ(stylesOf(c.charFormat()), StyleBold | StyleStrikeOut);

    view->clearText();
    EXPECT_EQ(view->textLength(), 0);
    EXPECT_EQ(view->caretPos(), 0);

    // A line added to an empty trace is its first line; an empty first line counts as a line.
    view->addLine("eins");
    EXPECT_EQ(view->toPlainText(), QStringLiteral("eins"));
    view->clearText();
    view->addLine("");
    view->addLine("zwei");
    EXPECT_EQ(view->toPlainText(), QStringLiteral("\nzwei"));
}

TEST_F(TraceViewTest, SameTextAndAttributesAsTheRecordingView) {
    ProjectSettings.AttributeEnable = 0xFF;
    ProjectSettings.StyleDefault = 1;
    fillRandomCapture(*store, 3000, 42);

    FakeView fake;
    setMonitorView(&fake);
    ShowTraceOffline("Kopf", 0);
    const int32_t telegrams = store->TelegramNo;

    store->DecodePos = 0;
    store->TelegramNo = 0;
    resetTraceDecoder();
    setMonitorView(view.get());
    ShowTraceOffline("Kopf", 0);
    EXPECT_EQ(store->TelegramNo, telegrams);

    ASSERT_EQ(view->toPlainText(), QString::fromUtf8(fake.text.c_str()));
    const std::vector<CharAttr> want = fakeAttributes(fake);
    const std::vector<CharAttr> got = widgetAttributes(*view);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(got[i] == want[i])
            << "character " << i << ": colour " << std::hex << got[i].color << " vs " << want[i].color
            << ", styles " << int(got[i].styles) << " vs " << int(want[i].styles);
    }
}

TEST_F(TraceViewTest, EveryRunCarriesItsColourInTheViewAndInTheRtfCopy) {
    // Text in the default black with no style, each written first into a fresh view: the
    // refusal line while offline, a loaded log's heading and first number, a recording's
    // header. Each run must carry its colour, in the view and in the RTF copy.
    const std::function<void()> writes[] = {
        [] { monitorView()->addLine("Offline: ohne Verbindung zum RAFU ist keine Aufzeichnung möglich."); },
        [] { ShowTraceOffline("I²C-Analyzer Protokolldatei: /tmp/x.i2p", 0); },
        [] {
            InitTraceAttributes(true);
            ThIIcWatch::ResetMonitorAttributes();
            for (const std::string& line : {"\x80" + SeparatorLine, std::string(" RAFU I²C-Protokoll - x")}) {
                PendingLine = line;
                ThIIcWatch::SyncAddLine();
            }
            DecodeTrace(0);
        },
    };
    ProjectSettings.AttributeEnable = 0xFF;
    fillRandomCapture(*store, 20, 7);
    for (const auto& write : writes) {
        FakeView fake;
        setMonitorView(&fake);
        resetTraceDecoder();
        store->DecodePos = store->TelegramNo = 0;
        write();
        view = std::make_unique<TraceView>();
        setMonitorView(view.get());
        resetTraceDecoder();
        store->DecodePos = store->TelegramNo = 0;
        write();

        const std::vector<CharAttr> want = fakeAttributes(fake);
        const std::vector<CharAttr> got = widgetAttributes(*view);
        ASSERT_EQ(got.size(), want.size());
        const kevosupport::MiniRtf rtf(rtf::documentToRtf(*view->document()));
        std::vector<unsigned> rtfColours;
        for (const kevosupport::TextRun& r : rtf.runs)
            rtfColours.insert(rtfColours.end(), r.text.size(), r.rgb);
        ASSERT_EQ(rtfColours.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            const COLORREF c = want[i].color;
            const unsigned rgb = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
            ASSERT_EQ(got[i].color, c) << "view, character " << i << " of " << fake.text;
            ASSERT_EQ(rtfColours[i], rgb) << "RTF, character " << i << " of " << fake.text;
        }
    }
}

TEST_F(TraceViewTest, OfflineRenderingIsOneEdit) {
    fillRandomCapture(*store, 2000, 3);
    QSignalSpy changes(view->document(), &QTextDocument::contentsChanged);
    ShowTraceOffline("I²C-Analyzer Protokolldatei: x.i2p", 0);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(view->caretPos(), view->textLength());
    EXPECT_TRUE(view->toPlainText().startsWith(QStringLiteral("I²C-Analyzer Protokolldatei: x.i2p\n") +
                                               QString::fromStdString(SeparatorLine) + "\n00000  »"));
}

TEST_F(TraceViewTest, LiveDecodeKeepsTheUsersCaret) {
    view->insertAtCaret("Zeile eins");
    view->setCaretPos(4);
    store->AppendBusEvent(StatusStart | StatusNoError | StatusNoStop, 0xA0);
    store->AppendBusEvent(StatusNoError, 0x01);
    InitTraceAttributes(true);
    DecodeTrace(1);
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Zeile eins\n00000  »A0 01«"));
    EXPECT_EQ(view->caretPos(), 4);
}

TEST_F(TraceViewTest, LiveWritesKeepTheUsersSelectedText) {
    // A selection up to the end of the trace (select all, or a search hit on the last line)
    // while a telegram line is still open: the line goes on after it, nothing is replaced.
    store->AppendBusEvent(StatusStart | StatusNoError | StatusNoStop, 0xA0);
    InitTraceAttributes(true);
    DecodeTrace(1);
    view->selectAll();
    store->AppendBusEvent(StatusNoError, 0x01);
    DecodeTrace(1);
    EXPECT_EQ(view->toPlainText(), QStringLiteral("00000  »A0 01«"));

    view->selectAll();
    view->insertAtCaret("x");
    EXPECT_EQ(view->toPlainText(), QStringLiteral("x00000  »A0 01«"));
    EXPECT_FALSE(view->textCursor().hasSelection());
    EXPECT_EQ(view->caretPos(), 1);
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

TEST_F(TraceViewTest, StreamOfWritesIsShownTogetherAndKeepsPainting) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QCoreApplication::processEvents();
    PaintCounter paints(view->viewport());
    // A writer that posts its next write at once, as the capture thread's hand-overs come.
    bool writing = true, deferred = false;
    const auto shown = [&] { return paints.count > 0 && view->blockCount() > 10; };
    std::function<void()> write = [&] {
        if (!writing || shown()) return;
        view->addLine("00000  »A0 01«");
        deferred = deferred || view->refreshPending();
        QMetaObject::invokeMethod(view.get(), write, Qt::QueuedConnection);
    };
    write();
    const bool painted = QTest::qWaitFor(shown, 5000);
    writing = false;
    EXPECT_TRUE(painted);
    EXPECT_TRUE(deferred);  // writes in quick succession wait for the interval's end

    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->refreshPending(); }, 5000));
    EXPECT_TRUE(view->updatesEnabled());
    EXPECT_TRUE(view->verticalScrollBar()->updatesEnabled());
    const QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());  // scrolled to the caret at the end
    EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect()));
}

TEST_F(TraceViewTest, HeaderHandOversContinueOrAddLines) {
    view->insertAtCaret("00007  »A0 01«");  // a loaded log ends with a telegram line
    PendingLine = "\x80" + SeparatorLine;
    ThIIcWatch::SyncAddLine();
    PendingLine = "zwei";
    ThIIcWatch::SyncAddLine();
    EXPECT_EQ(view->toPlainText(), QString::fromStdString("00007  »A0 01«" + SeparatorLine + "\nzwei"));

    ProjectSettings.ColorText = 0x00FF00;
    ProjectSettings.StyleDefault = 3;
    InitTraceAttributes(true);
    ThIIcWatch::ResetMonitorAttributes();
    EXPECT_EQ(view->selColor(), 0x00FF00u);
    EXPECT_EQ(view->selStyles(), StyleStrikeOut);
}

TEST_F(TraceViewTest, ClearProtokollEmptiesAndPaints) {
    fillRandomCapture(*store, 50, 1);
    ShowTraceOffline("Kopf", 0);
    ProjectSettings.ColorBackground = 0x00FFFF;
    ClearProtokoll();
    EXPECT_TRUE(view->toPlainText().isEmpty());
    EXPECT_FALSE(view->document()->isUndoRedoEnabled());
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
    EXPECT_EQ(store->BytesUsed.load(), 0);
    // The view keeps working after the clear.
    store->AppendBusEvent(StatusStart | StatusNoError, 0xA0);
    ShowTraceOffline("neu", 0);
    EXPECT_EQ(view->toPlainText(), QString::fromStdString("neu\n" + SeparatorLine + "\n00000  »A0«"));
}

}  // namespace
