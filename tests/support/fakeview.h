// A recording stand-in for the trace view: keeps the text (UTF-8, positions in bytes) and
// every write with the attributes it went out in. No test framework: the fuzz targets use it
// too.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "monitorview.h"

struct TraceWrite {
    bool newLine;  // added as a new last line (else inserted at the caret)
    std::string text;
    COLORREF color;
    StyleSet styles;
    bool operator==(const TraceWrite& o) const {
        return newLine == o.newLine && text == o.text && color == o.color && styles == o.styles;
    }
};

inline std::ostream& operator<<(std::ostream& os, const TraceWrite& r) {
    return os << (r.newLine ? "add" : "ins") << "(\"" << r.text << "\", 0x" << std::hex << r.color << std::dec
              << ", " << int(r.styles) << ")";
}

class FakeView : public MonitorView {
  public:
    std::string text;
    int caret = 0;
    COLORREF selColor = 0;
    StyleSet selStyles = 0;
    COLORREF background = 0;
    std::vector<TraceWrite> writes;  // every write, empty insertions included
    bool recordWrites = true;        // false: the text only (fuzz targets check nothing else)
    int bulkDepth = 0, bulkCount = 0, scrolls = 0;

    void addLine(const std::string& t) override {
        if (recordWrites) writes.push_back({true, t, selColor, selStyles});
        const bool atEnd = caret == textLength();
        text += '\n';
        text += t;
        if (atEnd) caret = textLength();
    }
    void insertAtCaret(const std::string& t) override {
        if (recordWrites) writes.push_back({false, t, selColor, selStyles});
        text.insert(size_t(caret), t);
        caret += int(t.size());
    }
    int caretPos() const override { return caret; }
    void setCaretPos(int pos) override { caret = pos; }
    int textLength() const override { return int(text.size()); }
    void setSelAttributes(COLORREF c, StyleSet s) override {
        selColor = c;
        selStyles = s;
    }
    void setBackgroundColor(COLORREF c) override { background = c; }
    void clearText() override {
        text.clear();
        caret = 0;
    }
    void scrollCaretIntoView() override { ++scrolls; }
    void beginBulk() override {
        if (bulkDepth++ == 0) ++bulkCount;
    }
    void endBulk() override { --bulkDepth; }

    // The writes that change the text (empty insertions left out).
    std::vector<TraceWrite> runs() const {
        std::vector<TraceWrite> out;
        for (const TraceWrite& r : writes)
            if (r.newLine || !r.text.empty()) out.push_back(r);
        return out;
    }
};
