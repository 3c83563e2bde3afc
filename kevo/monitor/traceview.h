// RE_I2CMonitor's control: the read-only rich-text trace view of the main window.
//
// A QPlainTextEdit (lazy layout, no line wrap, both scroll bars) that implements the
// decoder's MonitorView. Writes go through document cursors inside one edit block per
// bulk bracket with undo off, so a whole log goes in as a single edit. GUI thread only.
//
// A recording writes one line per hand-over, a thousand and more per second. Showing each
// (scrolling to the caret, repainting the text and the scroll bars) would cost far more
// than the write and let the trace fall behind; so a write that follows the last shown
// one within RefreshIntervalMs is shown, together with all others of that interval, when
// the interval ends. A single write is shown at once.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>
#include <memory>

#include "monitorview.h"

// COLORREF 0x00BBGGRR as a Qt colour.
QColor colorFromColorRef(COLORREF c);

class TraceView : public QPlainTextEdit, public MonitorView {
    Q_OBJECT
  public:
    explicit TraceView(QWidget* parent = nullptr);

    void addLine(const std::string& text) override;
    void insertAtCaret(const std::string& text) override;
    int caretPos() const override;
    void setCaretPos(int pos) override;
    int textLength() const override;
    void setSelAttributes(COLORREF color, StyleSet styles) override;
    void setBackgroundColor(COLORREF color) override;
    void clearText() override;
    void scrollCaretIntoView() override;
    void beginBulk() override;
    void endBulk() override;

    // The paragraphs' left indent in pixels (kept free of text, painted in the background).
    void setLeftIndent(int pixels);
    int leftIndent() const { return leftIndent_; }

    // The trace as it goes to paper: the text with its colours and
    // styles, in the view's font at PrintPoints (the view's size is in pixels, which a
    // printer would take as its own dots: 13 dots at 1200 dpi are under a point), long lines
    // wrapped at the page edge instead of cut off.
    std::unique_ptr<QTextDocument> printDocument() const;
    // The printed text size in points, that of the rich-text copy; the view's 13 pixels on a
    // 96-dpi screen.
    static constexpr int PrintPoints = 10;

    // Colour and styles of the text inserted next.
    COLORREF selColor() const { return selColor_; }
    StyleSet selStyles() const { return selStyles_; }
    // The format used for a colour and style set.
    static QTextCharFormat formatFor(COLORREF color, StyleSet styles);

    // Longest time by which a write is shown late while writes come in quick succession.
    static constexpr int RefreshIntervalMs = 30;
    // Writes not shown yet (their refresh waits for the interval's end).
    bool refreshPending() const { return refreshTimer_.isActive(); }

  private:
    QTextCursor& writeCursor();
    // After the outermost write: scroll to the caret and repaint, at once or when the
    // current refresh interval ends.
    void wrote();
    void refresh();

    int bulkDepth_ = 0;
    bool wroteInBulk_ = false;
    QTextCursor bulkCursor_;
    COLORREF selColor_ = 0;
    StyleSet selStyles_ = 0;
    QTextCharFormat selFormat_;
    QHash<quint64, QTextCharFormat> formats_;  // by colour and style set
    int leftIndent_ = 0;
    bool noLines_ = true;  // nothing written since the last clear
    QTimer refreshTimer_;
    QElapsedTimer lastRefresh_;
};
