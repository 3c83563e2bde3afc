// The trace view as the trace decoder, the capture thread and ClearProtokoll see it.
//
// The main window's RE_I2CMonitor implements it (traceview.h); tests may plug in a
// recording fake. Everything here runs on the GUI thread only. Positions and lengths are
// in the view's own character units; text is UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "projectsettings.h"  // COLORREF

// A set of font styles: bit v for style value v (0 bold, 1 italic, 2 underline, 3 strike-out).
using StyleSet = std::uint8_t;
constexpr StyleSet StyleBold = 0x01, StyleItalic = 0x02, StyleUnderline = 0x04, StyleStrikeOut = 0x08;

// The one-element set of a style value 0..3; the empty set for any other value (-1 = none).
inline StyleSet StyleBit(int v) {
    return (v >= 0 && v <= 3) ? StyleSet(1u << v) : StyleSet(0);
}

class MonitorView {
  public:
    virtual ~MonitorView() = default;

    // Adds a line break and then text at the end (the text never ends with a line break of
    // its own, so an empty text gives a real empty last line).
    virtual void addLine(const std::string& text) = 0;
    // Puts text at the caret with no line break and leaves the caret after it. A selection
    // is not replaced (no write removes trace text); the text goes in at its start.
    virtual void insertAtCaret(const std::string& text) = 0;
    // The caret: the start of the selection when there is one.
    virtual int caretPos() const = 0;
    // Sets the caret; a selection is dropped.
    virtual void setCaretPos(int pos) = 0;
    virtual int textLength() const = 0;
    // Attributes of the text inserted next.
    virtual void setSelAttributes(COLORREF color, StyleSet styles) = 0;
    virtual void setBackgroundColor(COLORREF color) = 0;
    // Empties the text.
    virtual void clearText() = 0;
    virtual void scrollCaretIntoView() = 0;

    // Brackets a series of writes that may go into the view as one edit (no repaint or
    // layout in between). Brackets nest; the outermost end completes the edit.
    virtual void beginBulk() {}
    virtual void endBulk() {}
};

// Holds a bulk bracket for a scope.
class MonitorBulk {
  public:
    explicit MonitorBulk(MonitorView* view) : view_(view) {
        if (view_) view_->beginBulk();
    }
    ~MonitorBulk() {
        if (view_) view_->endBulk();
    }
    MonitorBulk(const MonitorBulk&) = delete;
    MonitorBulk& operator=(const MonitorBulk&) = delete;

  private:
    MonitorView* view_;
};

// The process-wide trace view (the main window's RE_I2CMonitor); null while there is none.
// Set by the main window; GUI thread only.
MonitorView* monitorView();
void setMonitorView(MonitorView* view);
