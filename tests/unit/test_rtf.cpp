// The RTF copy of the trace: read back with a small independent RTF reader and compared
// run by run (text, colour, styles).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>
#include <vector>

#include "qtapp.h"
#include "rtfwriter.h"

namespace {

KEVO_TEST_APPLICATION(QGuiApplication);

struct TextRun {
    std::u16string text;
    unsigned rgb = 0;  // 0xRRGGBB, 0 also for "automatic"
    bool b = false, i = false, ul = false, strike = false;
};

// A reader for the subset of RTF the writer uses; independent of the writer's code.
struct MiniRtf {
    std::vector<unsigned> colours;  // index 0: the automatic colour
    std::vector<TextRun> runs;      // consecutive runs with equal attributes are merged
    std::u16string plain;           // text with "\n" for \par and \line
    int depth = 0;
    int maxDepth = 0;
    bool balanced = true;
    int leftIndent = -1;

    static char16_t cp1252(int b) {
        static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                          0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
        return (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
    }

    explicit MiniRtf(const QByteArray& d) {
        struct St {
            TextRun r;
            bool skip = false;
            bool colortbl = false;
        };
        std::vector<St> stack{St{}};
        unsigned red = 0, green = 0, blue = 0;
        int skipChars = 0;
        auto put = [&](char16_t c) {
            St& s = stack.back();
            if (s.skip || s.colortbl) return;
            if (skipChars > 0) {
                --skipChars;
                return;
            }
            plain += c;
            if (c == u'\n') return;
            TextRun& r = s.r;
            if (!runs.empty() && runs.back().rgb == r.rgb && runs.back().b == r.b && runs.back().i == r.i &&
                runs.back().ul == r.ul && runs.back().strike == r.strike)
                runs.back().text += c;
            else {
                TextRun n = r;
                n.text = c;
                runs.push_back(n);
            }
        };
        for (int p = 0; p < d.size();) {
            const char c = d[p];
            if (c == '{') {
                stack.push_back(stack.back());
                maxDepth = std::max(maxDepth, int(stack.size()) - 1);
                ++p;
            } else if (c == '}') {
                if (stack.size() <= 1)
                    balanced = false;
                else
                    stack.pop_back();
                ++p;
            } else if (c == '\r' || c == '\n') {
                ++p;
            } else if (c == '\\') {
                ++p;
                if (p >= d.size()) break;
                const char n = d[p];
                if (n == '\\' || n == '{' || n == '}') {
                    put(char16_t(n));
                    ++p;
                } else if (n == '\'') {
                    put(cp1252(d.mid(p + 1, 2).toInt(nullptr, 16)));
                    p += 3;
                } else {
                    int q = p;
                    while (q < d.size() && std::isalpha(uchar(d[q]))) ++q;
                    const QByteArray word = d.mid(p, q - p);
                    int r = q;
                    if (r < d.size() && (d[r] == '-' || std::isdigit(uchar(d[r])))) {
                        ++r;
                        while (r < d.size() && std::isdigit(uchar(d[r]))) ++r;
                    }
                    const bool hasArg = r > q;
                    const int arg = hasArg ? d.mid(q, r - q).toInt() : 1;
                    p = r;
                    if (p < d.size() && d[p] == ' ') ++p;
                    St& s = stack.back();
                    if (word == "fonttbl")
                        s.skip = true;
                    else if (word == "colortbl")
                        s.colortbl = true;
                    else if (word == "red")
                        red = arg;
                    else if (word == "green")
                        green = arg;
                    else if (word == "blue")
                        blue = arg;
                    else if (word == "cf")
                        s.r.rgb = arg < int(colours.size()) ? colours[arg] : 0xFFFFFFFF;
                    else if (word == "b")
                        s.r.b = !hasArg || arg != 0;
                    else if (word == "i")
                        s.r.i = !hasArg || arg != 0;
                    else if (word == "ul")
                        s.r.ul = true;
                    else if (word == "ulnone")
                        s.r.ul = false;
                    else if (word == "strike")
                        s.r.strike = !hasArg || arg != 0;
                    else if (word == "li")
                        leftIndent = arg;
                    else if (word == "par" || word == "line")
                        put(u'\n');
                    else if (word == "tab")
                        put(u'\t');
                    else if (word == "u") {
                        put(char16_t(int16_t(arg)));
                        skipChars = 1;
                    }
                }
            } else {
                if (c == ';' && stack.back().colortbl) {
                    colours.push_back((red << 16) | (green << 8) | blue);
                    red = green = blue = 0;
                } else {
                    put(char16_t(uchar(c)));
                }
                ++p;
            }
        }
        if (stack.size() != 1) balanced = false;
    }
};

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

TEST(RtfWriter, SaveReportsUnwritableTarget) {
    QTemporaryDir dir;
    QTextDocument doc;
    doc.setPlainText("x");
    QString err;
    EXPECT_FALSE(rtf::saveDocument(doc, dir.filePath("missing/sub/x.rtf"), {}, &err));
    EXPECT_FALSE(err.isEmpty());
    const QString ok = dir.filePath("x.rtf");
    ASSERT_TRUE(rtf::saveDocument(doc, ok));
    QFile f(ok);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), rtf::documentToRtf(doc));
}

}  // namespace
