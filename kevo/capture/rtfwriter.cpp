#include "rtfwriter.h"

#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>
#include <QVector>
#include <cmath>

namespace rtf {

namespace {

// 0x80..0x9F of Windows-1252 (0 = unassigned).
const char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

struct RunState {
    int colour = 0;  // index into the colour table; 0 = automatic (before the first run only)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

void appendHex(QByteArray& out, int b) {
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[(b >> 4) & 0xF];
    out += digits[b & 0xF];
}

void appendText(QByteArray& out, const QString& text) {
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c == QChar::LineSeparator || c == '\n') {
            out += "\\line ";
        } else if (c == QChar::ParagraphSeparator) {
            out += "\\par ";
        } else if (c < 0x20) {
            // control characters have no place in the text
        } else if (c < 0x80) {
            out += char(c);
        } else {
            const int b = windows1252Byte(c);
            if (b >= 0) {
                appendHex(out, b);
            } else {
                // \uN takes a signed 16-bit number; one fallback character follows (\uc1).
                out += "\\u";
                out += QByteArray::number(int(int16_t(c)));
                out += '?';
            }
        }
    }
}

}  // namespace

int windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == c) return 0x80 + i;
    return -1;
}

QByteArray documentToRtf(const QTextDocument& doc, const Options& options) {
    // Colour table first: every foreground colour that a run uses, in order of use. Entry 0
    // stays the reader's automatic colour and is never used: a run without a colour of its
    // own gets the text colour, so that no reader draws it in its theme's colour.
    QVector<QRgb> colours;
    const QRgb textRgb = options.textColor.rgb() & 0xFFFFFF;
    auto colourIndex = [&colours, textRgb](const QTextCharFormat& f) {
        const bool own = f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush;
        const QRgb rgb = own ? f.foreground().color().rgb() & 0xFFFFFF : textRgb;
        int i = colours.indexOf(rgb);
        if (i < 0) {
            colours.append(rgb);
            i = colours.size() - 1;
        }
        return i + 1;
    };
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().isValid()) colourIndex(it.fragment().charFormat());

    const QFont defFont = doc.defaultFont();
    const QString family = options.fontFamily.isEmpty() ? defFont.family() : options.fontFamily;
    int halfPoints = options.fontHalfPoints;
    if (halfPoints <= 0) {
        if (defFont.pointSizeF() > 0)
            halfPoints = int(std::lround(defFont.pointSizeF() * 2));
        else if (defFont.pixelSize() > 0)
            halfPoints = int(std::lround(defFont.pixelSize() * 72.0 / 96.0 * 2));
        else
            halfPoints = 20;
    }

    QByteArray out;
    out.reserve(doc.characterCount() * 2 + 512);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 ";
    appendText(out, family);
    out += ";}}\r\n{\\colortbl ;";
    for (QRgb rgb : colours) {
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) +
               "\\blue" + QByteArray::number(qBlue(rgb)) + ";";
    }
    out += "}\r\n\\viewkind4\\pard\\li" + QByteArray::number(options.leftIndentTwips) + "\\f0\\fs" +
           QByteArray::number(halfPoints) + " ";

    RunState cur;
    bool firstBlock = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!firstBlock) out += "\\par\r\n";
        firstBlock = false;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            const QTextCharFormat f = frag.charFormat();
            RunState next;
            next.colour = colourIndex(f);
            next.bold = f.fontWeight() >= QFont::DemiBold;
            next.italic = f.fontItalic();
            next.underline = f.fontUnderline();
            next.strike = f.fontStrikeOut();
            QByteArray ctl;
            if (next.colour != cur.colour) ctl += "\\cf" + QByteArray::number(next.colour);
            if (next.bold != cur.bold) ctl += next.bold ? "\\b" : "\\b0";
            if (next.italic != cur.italic) ctl += next.italic ? "\\i" : "\\i0";
            if (next.underline != cur.underline) ctl += next.underline ? "\\ul" : "\\ulnone";
            if (next.strike != cur.strike) ctl += next.strike ? "\\strike" : "\\strike0";
            if (!ctl.isEmpty()) {
                out += ctl;
                out += ' ';
            }
            cur = next;
            appendText(out, frag.text());
        }
    }
    out += "\\par\r\n}\r\n";
    return out;
}

}  // namespace rtf
