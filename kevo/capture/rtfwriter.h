// Rich-text (RTF) writer for the trace: turns a QTextDocument into an RTF file that
// word processors open with the trace's colours and font styles.
//
// What is written: one font (the document's default family, or the given one), a colour
// table of every foreground colour used, per run its colour (always explicit, never the
// reader's automatic colour) and \b \i \ul \strike, one
// \par per text block, a left paragraph indent. Text is Windows-1252: 8-bit characters go
// out as \'xx, characters outside the code page as \uN with "?" as the fallback.
//
// GUI thread (the document belongs to it). No Qt Widgets dependency.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

class QTextDocument;

namespace rtf {

struct Options {
    QString fontFamily;         // empty: the document's default font family
    int fontHalfPoints = 0;     // 0: from the document's default font
    int leftIndentTwips = 0;    // \li of every paragraph
    QColor textColor{0, 0, 0};  // the colour of a run that has none of its own
};

// The whole document as RTF text (pure ASCII bytes).
QByteArray documentToRtf(const QTextDocument& doc, const Options& options = {});

// The Windows-1252 byte of a character, or -1 when the code page has none.
int windows1252Byte(char16_t c);

}  // namespace rtf
