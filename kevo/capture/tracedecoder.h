// The trace decoder and its run writer: turns the capture store's BusEvent pairs into the
// numbered, coloured trace lines of the trace view.
//
// GUI thread only: live through the capture thread's hand-overs (SyncDecode), offline when
// a log is loaded (ShowTraceOffline). Works on the process-wide store (captureStore()) and
// view (monitorView()) and on the process-wide settings record. Pure logic: no Qt.
//
// Trace line: "00012  »A0 00»A1 3F 40«" - number (five digits at least) and two blanks,
// "»" before a telegram's first byte and before a byte with a repeated start, a blank
// before any other byte, "«" right after a byte that a STOP follows.
#pragma once

#include <cstdint>
#include <string>

#include "monitorview.h"

// Colours and styles of the trace roles, built by InitTraceAttributes.
struct TTraceAttributes {
    COLORREF StartStopColor = 0;
    COLORREF DevAddrColor = 0;
    COLORREF SubAddrColor = 0;
    COLORREF FromMasterColor = 0;
    COLORREF ToMasterColor = 0;
    std::int8_t NakStyle = -1;  // style values: -1 none, 0 bold, 1 italic, 2 underline, 3 strike-out
    std::int8_t ErrorStyle = -1;
    std::int8_t DefaultStyle = -1;
    std::int8_t PortStyle = -1;
};

// State of the run writer: text with equal attributes gathers in PendingText.
struct TTraceRun {
    std::string PendingText;
    // 0: the next write continues the last line; 1: it adds a new line; +2: it is forced.
    std::int32_t LineMode = 0;
    COLORREF RunColor = 0;   // for the text gathered next
    COLORREF LastColor = 0;  // of PendingText
    StyleSet RunStyle = 0;
    StyleSet LastStyle = 0;
};

// Role of the next data byte within the current telegram.
enum class TByteRole { None, Address, SubAddress, ReadData, WriteData };

extern TTraceAttributes TraceAttributes;
extern TTraceRun TraceRun;
extern TByteRole ByteRole;

// The trace's notice for a pair that carries StatusBufferFull.
extern const std::string BufferFullNotice;

// Builds TraceAttributes from the settings and resets the run attributes. live = true at
// the start of a recording, false for a loaded log (AttributeMode 1 shows the attributes
// in loaded logs only, 2 never).
void InitTraceAttributes(bool live);

// Writes PendingText in LastColor/LastStyle when the run attributes changed or the write
// is forced, and makes the run attributes the current ones.
void FlushMonitorText();

// Decodes the pairs from DecodePos up to BytesUsed. limit 0: all of them; n > 0: stops on
// the telegram start at which the n-th line of this call was written out (that pair stays
// for the next call). Ends with everything gathered written out.
void DecodeTrace(std::int32_t limit);

// Renders a loaded log: the header at the caret, the separator line, the whole decode
// (limit as for DecodeTrace; the log loader passes 0), then the caret scrolled into view.
void ShowTraceOffline(const std::string& header, std::int32_t limit);

// Back to the state at program start (tests).
void resetTraceDecoder();
