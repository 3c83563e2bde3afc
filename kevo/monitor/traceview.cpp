#include "traceview.h"

#include <QFont>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

QColor colorFromColorRef(COLORREF c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TraceView::TraceView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Keep the selection painted when the view loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    QFont font(QStringLiteral("Courier New"));
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    setFont(font);
    document()->setDefaultFont(font);

    setSelAttributes(0, 0);

    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &TraceView::refresh);
}

QTextCharFormat TraceView::formatFor(COLORREF color, StyleSet styles) {
    QTextCharFormat f;
    f.setForeground(colorFromColorRef(color));
    f.setFontWeight((styles & StyleBold) ? QFont::Bold : QFont::Normal);
    f.setFontItalic(styles & StyleItalic);
    f.setFontUnderline(styles & StyleUnderline);
    f.setFontStrikeOut(styles & StyleStrikeOut);
    return f;
}

std::unique_ptr<QTextDocument> TraceView::printDocument() const {
    std::unique_ptr<QTextDocument> doc(document()->clone());
    QFont font = document()->defaultFont();
    font.setPointSize(PrintPoints);
    doc->setDefaultFont(font);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    return doc;
}

QTextCursor& TraceView::writeCursor() {
    if (bulkCursor_.isNull() || bulkCursor_.document() != document()) bulkCursor_ = QTextCursor(document());
    return bulkCursor_;
}

void TraceView::beginBulk() {
    if (bulkDepth_++ == 0) {
        wroteInBulk_ = false;
        writeCursor().beginEditBlock();
    }
}

void TraceView::endBulk() {
    if (bulkDepth_ == 0) return;
    if (--bulkDepth_ == 0) {
        if (!bulkCursor_.isNull()) bulkCursor_.endEditBlock();
        if (wroteInBulk_) wrote();
    }
}

void TraceView::wrote() {
    if (refreshTimer_.isActive()) return;  // shown with the others of this interval
    const qint64 since = lastRefresh_.isValid() ? lastRefresh_.elapsed() : RefreshIntervalMs;
    if (since >= RefreshIntervalMs) {
        ensureCursorVisible();
        lastRefresh_.start();
        return;
    }
    // No paint of the text or the scroll bars until the interval ends; then one for all.
    setUpdatesEnabled(false);
    refreshTimer_.start(int(RefreshIntervalMs - since));
}

void TraceView::refresh() {
    ensureCursorVisible();
    setUpdatesEnabled(true);
    // Paint now: the posted paint request has a low priority, and the next hand-over, which
    // comes first, would stop the painting again.
    repaint();
    lastRefresh_.start();
}

void TraceView::addLine(const std::string& text) {
    QTextCursor& c = writeCursor();
    c.setPosition(textLength());  // not movePosition(End): that lays the block out
    // The first line of an empty trace needs no line break before it.
    const QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    c.insertText(noLines_ && textLength() == 0 ? line : QStringLiteral("\n") + line, selFormat_);
    noLines_ = false;
    if (bulkDepth_ > 0)
        wroteInBulk_ = true;
    else
        wrote();
}

void TraceView::insertAtCaret(const std::string& text) {
    const QTextCursor caret = textCursor();
    QTextCursor& c = writeCursor();
    c.setPosition(caret.selectionStart());
    c.insertText(QString::fromUtf8(text.data(), qsizetype(text.size())), selFormat_);
    noLines_ = false;
    // A caret at the insertion point moves along by itself; a selection gives way to the
    // caret after the text.
    if (caret.hasSelection() || textCursor().position() != c.position()) {
        QTextCursor moved = textCursor();
        moved.setPosition(c.position());
        setTextCursor(moved);
    }
    if (bulkDepth_ > 0)
        wroteInBulk_ = true;
    else
        wrote();
}

int TraceView::caretPos() const {
    return textCursor().selectionStart();
}

void TraceView::setCaretPos(int pos) {
    QTextCursor c = textCursor();
    c.setPosition(qBound(0, pos, textLength()));
    setTextCursor(c);
}

int TraceView::textLength() const {
    return document()->characterCount() - 1;
}

void TraceView::setSelAttributes(COLORREF color, StyleSet styles) {
    // Every run carries its colour, black included: text without one would be drawn in the
    // desktop theme's text colour (light on a dark theme) and saved as "automatic".
    if (color == selColor_ && styles == selStyles_ && selFormat_.hasProperty(QTextFormat::ForegroundBrush))
        return;
    selColor_ = color;
    selStyles_ = styles;
    const quint64 key = quint64(color) << 8 | styles;
    auto it = formats_.constFind(key);
    if (it == formats_.constEnd()) it = formats_.insert(key, formatFor(color, styles));
    selFormat_ = *it;
}

void TraceView::setBackgroundColor(COLORREF color) {
    const QColor c = colorFromColorRef(color);
    QPalette pal = palette();
    if (pal.color(QPalette::Base) == c && pal.color(QPalette::Window) == c) return;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, c);
        pal.setColor(g, QPalette::Window, c);  // the indent strip beside the viewport
    }
    setPalette(pal);
    setAutoFillBackground(true);
}

void TraceView::clearText() {
    // The edit block must not span the reset of the document.
    if (bulkDepth_ > 0) bulkCursor_.endEditBlock();
    clear();
    noLines_ = true;
    if (bulkDepth_ > 0) writeCursor().beginEditBlock();
}

void TraceView::scrollCaretIntoView() {
    ensureCursorVisible();
}

void TraceView::setLeftIndent(int pixels) {
    leftIndent_ = qMax(0, pixels);
    setViewportMargins(leftIndent_, 0, 0, 0);
}
