// A recording stand-in for the trace view: keeps the text (UTF-8, positions in bytes) and
// every write with the attributes it went out in. With it, the helpers that the store,
// decoder, trace view and capture thread tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capturestore.h"
#include "monitorview.h"
#include "projectsettings.h"
#include "tracedecoder.h"

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
    int bulkDepth = 0, bulkCount = 0, scrolls = 0;

    void addLine(const std::string& t) override {
        writes.push_back({true, t, selColor, selStyles});
        const bool atEnd = caret == textLength();
        text += "\n" + t;
        if (atEnd) caret = textLength();
    }
    void insertAtCaret(const std::string& t) override {
        writes.push_back({false, t, selColor, selStyles});
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

// A seeded capture, as status and data bytes, with every kind of status: starts, repeated
// starts, stops, NAKs, errors, port bits and the adapter's overflow mark.
inline std::vector<std::uint8_t> randomCapture(int telegrams, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out;
    for (int t = 0; t < telegrams; ++t) {
        const int bytes = 1 + int(rng() % 8);
        for (int i = 0; i < bytes; ++i) {
            std::uint8_t st = StatusNoError | StatusNoStop;
            if (i == 0) st |= StatusStart;
            if (i > 0 && rng() % 9 == 0) st |= StatusRepStart;
            if (rng() % 7 == 0) st |= StatusNak;
            if (rng() % 11 == 0) st &= std::uint8_t(~StatusNoError);
            if (rng() % 5 == 0) st |= StatusPort;
            if (rng() % 6 == 0) st |= StatusPortAfter;
            if (i == bytes - 1 && rng() % 4 != 0) st &= std::uint8_t(~StatusNoStop);
            if (rng() % 97 == 0) st |= StatusBufferFull;
            out.push_back(st);
            out.push_back(std::uint8_t(rng()));
        }
    }
    return out;
}

// A fresh store and a recording view as the process-wide ones; settings and decoder as at
// program start.
class StoreAndViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetProjectSettings();
        resetTraceDecoder();
        store = std::make_unique<CaptureStore>();
        setCaptureStore(store.get());
        setMonitorView(&view);
    }
    void TearDown() override {
        setMonitorView(nullptr);
        setCaptureStore(nullptr);
    }
    std::unique_ptr<CaptureStore> store;
    FakeView view;
};

// Decodes bytes from the start, all at once, into a recording view with the live (true) or
// the loaded-log attributes; the process-wide store and view are put back afterwards.
inline FakeView decodeIntoFake(const std::vector<std::uint8_t>& bytes, bool live) {
    CaptureStore* const keptStore = captureStore();
    MonitorView* const keptView = monitorView();
    auto copy = std::make_unique<CaptureStore>();
    std::copy(bytes.begin(), bytes.end(), copy->CaptureBuffer.get());
    copy->BytesUsed = std::int32_t(bytes.size());
    FakeView fake;
    setCaptureStore(copy.get());
    setMonitorView(&fake);
    resetTraceDecoder();
    InitTraceAttributes(live);
    DecodeTrace(0);
    setMonitorView(keptView);
    setCaptureStore(keptStore);
    return fake;
}
