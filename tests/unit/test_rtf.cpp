// The RTF copy of the trace: read back with a small independent RTF reader and compared
// run by run (text, colour, styles).
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>
#include <vector>

#include "minirtf.h"
#include "qtapp.h"
#include "rtfwriter.h"

namespace {

KEVO_TEST_APPLICATION(QGuiApplication);

using kevosupport::MiniRtf;
using kevosupport::TextRun;

QTextCharFormat fmt(QColor c, bool b = false, bool i = false, bool ul = false, bool st = false) {
    QTextCharFormat f;
    f.setForeground(c);
    f.setFontWeight(b ? QFont::Bold : QFont::Normal);
    f.setFontItalic(i);
    f.setFontUnderline(ul);
    f.setFontStrikeOut(st);
    return f;
}

// Builds "00012  »A0 00»A1 3F 40«" the way the trace writer does: one insertion per run.
void traceLine(QTextCursor& c) {
    c.insertText("00012  ", fmt(Qt::black));
    c.insertText(QString::fromUtf8("»"), fmt(QColor(0xFF, 0, 0)));
    c.insertText("A0 ", fmt(QColor(0, 0, 0xFF)));
    c.insertText("00", fmt(QColor(0x80, 0x80, 0x80), false, false, true));
    c.insertText(QString::fromUtf8("»"), fmt(QColor(0xFF, 0, 0)));
    c.insertText("A1 ", fmt(QColor(0, 0, 0xFF)));
    c.insertText("3F ", fmt(QColor(0, 0x80, 0), true));
    c.insertText("40", fmt(QColor(0, 0x80, 0), false, true, false, true));
    c.insertText(QString::fromUtf8("«"), fmt(QColor(0xFF, 0, 0)));
}

TEST(RtfWriter, TraceLineKeepsColoursStylesAndText) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QString::fromUtf8("I²C-Analyzer Protokolldatei: /tmp/x.i2p"), fmt(Qt::black));
    c.insertBlock();
    c.insertText(QString(70, '-'), fmt(Qt::black));
    c.insertBlock();
    traceLine(c);

    const QByteArray rtf = rtf::documentToRtf(doc, {"Courier New", 20, 720});
    // Only 7-bit bytes: everything else is escaped.
    for (char ch : rtf) ASSERT_LT(uchar(ch), 0x80u);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_NE(rtf.indexOf("Courier New;"), -1);
    EXPECT_NE(rtf.indexOf("\\'bb"), -1);  // »
    EXPECT_NE(rtf.indexOf("\\'ab"), -1);  // «
    EXPECT_NE(rtf.indexOf("I\\'b2C"), -1);

    MiniRtf r(rtf);
    EXPECT_TRUE(r.balanced);
    EXPECT_EQ(r.leftIndent, 720);
    const std::u16string expected = u"I²C-Analyzer Protokolldatei: /tmp/x.i2p\n" + std::u16string(70, u'-') +
                                    u"\n00012  »A0 00»A1 3F 40«\n";
    EXPECT_EQ(r.plain, expected);

    // The runs of the trace line, with their colours and styles.
    // Runs with equal attributes merge across lines, so the line starts one run before "»".
    size_t start = 0;
    while (start < r.runs.size() && r.runs[start].text != u"»") ++start;
    ASSERT_GE(start, 1u);
    const std::vector<TextRun> line(r.runs.begin() + (start - 1), r.runs.end());
    ASSERT_GE(line.size(), 8u);
    EXPECT_EQ(line[1].text, u"»");
    EXPECT_EQ(line[1].rgb, 0xFF0000u);
    EXPECT_EQ(line[2].text, u"A0 ");
    EXPECT_EQ(line[2].rgb, 0x0000FFu);
    EXPECT_EQ(line[3].text, u"00");
    EXPECT_TRUE(line[3].ul);
    EXPECT_EQ(line[3].rgb, 0x808080u);
    EXPECT_EQ(line[6].text, u"3F ");
    EXPECT_TRUE(line[6].b);
    EXPECT_FALSE(line[6].i);
    EXPECT_EQ(line[7].text, u"40");
    EXPECT_FALSE(line[7].b);
    EXPECT_TRUE(line[7].i);
    EXPECT_TRUE(line[7].strike);
    EXPECT_EQ(line[8].text, u"«");
    EXPECT_FALSE(line[8].i || line[8].strike || line[8].ul || line[8].b);
}

TEST(RtfWriter, EveryRunCarriesItsColour) {
    // A run without a colour of its own is written in the given text colour, never left to
    // the reader's automatic colour (drawn light on a dark desktop theme).
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText("Kopf", QTextCharFormat());
    c.insertText(" rot", fmt(QColor(0xFF, 0, 0)));
    c.insertBlock();
    c.insertText("ohne", QTextCharFormat());
    for (const QColor& text : {QColor(Qt::black), QColor(0, 0x80, 0)}) {
        rtf::Options opt;
        opt.textColor = text;
        const QByteArray out = rtf::documentToRtf(doc, opt);
        EXPECT_EQ(out.indexOf("\\cf0"), -1);
        MiniRtf r(out);
        ASSERT_EQ(r.runs.size(), 3u);
        const unsigned want = text.rgb() & 0xFFFFFF;
        EXPECT_EQ(r.runs[0].rgb, want);
        EXPECT_EQ(r.runs[1].rgb, 0xFF0000u);
        EXPECT_EQ(r.runs[2].rgb, want);
    }
}

TEST(RtfWriter, EscapesSpecialAndForeignCharacters) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QString::fromUtf8("a\\b{c}d € Ä ü Ω\tx"), fmt(Qt::black));
    const QByteArray rtf = rtf::documentToRtf(doc);
    EXPECT_NE(rtf.indexOf("a\\\\b\\{c\\}d"), -1);
    EXPECT_NE(rtf.indexOf("\\'80"), -1);  // € is 0x80 in Windows-1252
    EXPECT_NE(rtf.indexOf("\\'c4"), -1);
    EXPECT_NE(rtf.indexOf("\\'fc"), -1);
    EXPECT_NE(rtf.indexOf("\\u937?"), -1);  // Ω is outside the code page
    MiniRtf r(rtf);
    EXPECT_TRUE(r.balanced);
    EXPECT_EQ(r.plain, u"a\\b{c}d € Ä ü Ω\tx\n");
}

TEST(RtfWriter, Windows1252Table) {
    EXPECT_EQ(rtf::windows1252Byte(u'A'), 'A');
    EXPECT_EQ(rtf::windows1252Byte(u'»'), 0xBB);
    EXPECT_EQ(rtf::windows1252Byte(u'€'), 0x80);
    EXPECT_EQ(rtf::windows1252Byte(u'Ÿ'), 0x9F);
    EXPECT_EQ(rtf::windows1252Byte(u'\u0081'), -1);  // C1 control: unassigned in the code page
    EXPECT_EQ(rtf::windows1252Byte(u'Ω'), -1);
}

TEST(RtfWriter, EmptyDocumentIsValidRtf) {
    QTextDocument doc;
    MiniRtf r(rtf::documentToRtf(doc));
    EXPECT_TRUE(r.balanced);
    EXPECT_EQ(r.plain, u"\n");
}

}  // namespace
