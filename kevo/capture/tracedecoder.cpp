#include "tracedecoder.h"

#include <algorithm>
#include <cstdio>

#include "capturestore.h"
#include "iictexte.h"
#include "projectsettings.h"

TTraceAttributes TraceAttributes;
TTraceRun TraceRun;
TByteRole ByteRole = TByteRole::None;

const std::string BufferFullNotice = "          *** RAFU - Datenpuffer voll! Aufzeichnung ausgesetzt. ***";

namespace {

const char* const StartMark = "»";
const char* const StopMark = "«";

inline void addStyle(StyleSet& set, int style, bool on) {
    if (on)
        set |= StyleBit(style);
    else
        set &= StyleSet(~StyleBit(style));
}

// Sets the colour for what is gathered next; the text so far goes out in its own.
inline void switchTo(COLORREF color) {
    TraceRun.RunColor = color;
    FlushMonitorText();
}

inline void appendHex(std::string& s, std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    s += digits[b >> 4];
    s += digits[b & 0x0F];
}

}  // namespace

void resetTraceDecoder() {
    TraceAttributes = TTraceAttributes();
    TraceRun = TTraceRun();
    ByteRole = TByteRole::None;
}

void InitTraceAttributes(bool live) {
    const TProjectSettings& ps = ProjectSettings;
    TTraceAttributes& ta = TraceAttributes;
    ta.StartStopColor = ta.DevAddrColor = ta.SubAddrColor = ta.FromMasterColor = ta.ToMasterColor =
        ps.ColorText;
    ta.DefaultStyle = ps.StyleDefault;
    ta.NakStyle = ta.ErrorStyle = ta.PortStyle = ta.DefaultStyle;
    if (ps.AttributeMode != 2 && (!live || ps.AttributeMode == 0)) {
        const std::int32_t on = ps.AttributeEnable;
        if (on & 0x01) ta.StartStopColor = ps.ColorStartStop;
        if (on & 0x02) ta.DevAddrColor = ps.ColorDevAddr;
        if (on & 0x04) ta.SubAddrColor = ps.ColorSubAddr;
        if (on & 0x08) ta.FromMasterColor = ps.ColorFromMaster;
        if (on & 0x10) ta.ToMasterColor = ps.ColorToMaster;
        if (on & 0x20) ta.NakStyle = ps.StyleNak;
        if (on & 0x40) ta.ErrorStyle = ps.StyleError;
        if (on & 0x80) ta.PortStyle = ps.StylePort;
    }
    TraceRun.LastColor = ps.ColorText;
    TraceRun.LastStyle = StyleBit(ta.DefaultStyle);
    TraceRun.RunColor = TraceRun.LastColor;
    TraceRun.RunStyle = TraceRun.LastStyle;
}

void FlushMonitorText() {
    TTraceRun& r = TraceRun;
    if (r.LineMode >= 2) {
        r.LineMode -= 2;
    } else if (r.RunColor == r.LastColor && r.RunStyle == r.LastStyle) {
        return;  // same attributes: keep gathering
    }
    MonitorView* view = monitorView();
    int remembered = -1;
    if (view) {
        const int caret = view->caretPos();
        const int length = view->textLength();
        if (caret != length) {
            remembered = caret;
            view->setCaretPos(length);
        }
        view->setSelAttributes(r.LastColor, r.LastStyle);
    }
    r.LastColor = r.RunColor;
    r.LastStyle = r.RunStyle;
    if (view) {
        if (r.LineMode != 0)
            view->addLine(r.PendingText);
        else
            view->insertAtCaret(r.PendingText);
    }
    r.LineMode = 0;
    r.PendingText.clear();
    if (view && remembered > 0) view->setCaretPos(remembered);
}

void DecodeTrace(std::int32_t limit) {
    CaptureStore* store = captureStore();
    if (!store) return;
    const TProjectSettings& ps = ProjectSettings;
    const TTraceAttributes& ta = TraceAttributes;
    TTraceRun& r = TraceRun;
    MonitorBulk bulk(monitorView());

    const std::uint8_t* buf = store->CaptureBuffer.get();
    // Whole pairs inside the filled bytes only: a trailing odd byte of a loaded file has no
    // data byte to show.
    const std::int32_t used = std::clamp<std::int32_t>(store->BytesUsed.load(), 0, CaptureBufferSize);
    while (store->DecodePos + 1 < used) {
        const std::uint8_t s = buf[store->DecodePos];
        const std::uint8_t d = buf[store->DecodePos + 1];
        if (s & StatusBufferFull) {
            r.RunColor = ps.ColorText;
            r.RunStyle = StyleBit(ta.DefaultStyle);
            if (!r.PendingText.empty()) r.LineMode += 2;
            FlushMonitorText();
            r.PendingText = BufferFullNotice;
            r.LineMode = 1;
            FlushMonitorText();
            r.LineMode = 1;
            store->DecodePos += 2;
            continue;
        }
        if (s & StatusStart) {
            if (!r.PendingText.empty()) {
                r.LineMode += 2;
                r.RunColor = ps.ColorText;
                FlushMonitorText();
                if (limit != 0 && --limit == 0) break;  // this start stays for the next call
            }
            r.LastColor = ps.ColorText;
            r.LineMode = 1;
            char number[24];
            std::snprintf(number, sizeof number, "%5.5d  ", store->TelegramNo);
            r.PendingText = number;
            switchTo(ta.StartStopColor);
            r.PendingText += StartMark;
            switchTo(ta.DevAddrColor);
            store->TelegramNo += 1;
            ByteRole = TByteRole::Address;
        } else if (s & StatusRepStart) {
            addStyle(r.RunStyle, ta.PortStyle, s & StatusPort);
            switchTo(ta.StartStopColor);
            r.PendingText += StartMark;
            switchTo(ta.DevAddrColor);
            ByteRole = TByteRole::Address;
        } else {
            r.PendingText += ' ';
        }

        switch (ByteRole) {
            case TByteRole::Address:
                r.RunColor = ta.DevAddrColor;
                ByteRole = (d & 1) ? TByteRole::ReadData : TByteRole::SubAddress;
                break;
            case TByteRole::SubAddress:
                r.RunColor = ta.SubAddrColor;
                ByteRole = TByteRole::WriteData;
                break;
            case TByteRole::ReadData:
                r.RunColor = ta.ToMasterColor;
                break;
            case TByteRole::WriteData:
                r.RunColor = ta.FromMasterColor;
                break;
            case TByteRole::None:
                break;
        }

        addStyle(r.RunStyle, ta.ErrorStyle, !(s & StatusNoError));
        addStyle(r.RunStyle, ta.NakStyle, s & StatusNak);
        addStyle(r.RunStyle, ta.PortStyle, s & StatusPort);

        FlushMonitorText();
        appendHex(r.PendingText, d);

        addStyle(r.RunStyle, ta.PortStyle, s & StatusPortAfter);
        if (s & StatusNoStop) {
            FlushMonitorText();
        } else {
            r.RunColor = ta.StartStopColor;
            r.RunStyle = StyleBit(ta.DefaultStyle);
            FlushMonitorText();
            r.PendingText += StopMark;
        }
        store->DecodePos += 2;
    }
    if (!r.PendingText.empty()) {
        r.LineMode += 2;
        FlushMonitorText();
    }
}

void ShowTraceOffline(const std::string& header, std::int32_t limit) {
    MonitorView* view = monitorView();
    MonitorBulk bulk(view);
    InitTraceAttributes(false);
    if (view) {
        view->setSelAttributes(ProjectSettings.ColorText, StyleBit(ProjectSettings.StyleDefault));
        view->insertAtCaret(header);
        view->addLine(SeparatorLine);
    }
    DecodeTrace(limit);
    if (view) view->scrollCaretIntoView();
}
