// The capture store: the current log as a flat sequence of two-byte BusEvent pairs in
// arrival order, the index of where each telegram begins and the shared counters.
//
// One store per process (captureStore()); the main window allocates it when first shown
// and frees it when it closes. While a recording runs, the capture thread is the only
// writer (AppendBusEvent, appendReceived); the GUI thread reads it only inside the capture
// thread's hand-overs or while no recording runs. BytesUsed and IndexCount are atomic so
// that the main window may look at them at any time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

// One captured bus byte: status, then data. The binary log file is a plain run of them.
struct BusEvent {
    std::uint8_t Status;
    std::uint8_t Data;
};
static_assert(sizeof(BusEvent) == 2, "BusEvent is two bytes");

// Status bits. StatusNoError and StatusNoStop mark their condition by being clear.
constexpr std::uint8_t StatusBufferFull = 0x80;  // the adapter's buffer overflowed; data ignored
constexpr std::uint8_t StatusPortAfter = 0x40;   // input port active after the byte
constexpr std::uint8_t StatusPort = 0x20;        // input port active during the byte
constexpr std::uint8_t StatusNoError = 0x10;     // clear = protocol error on the byte
constexpr std::uint8_t StatusStart = 0x08;       // START before the byte: first byte of a telegram
constexpr std::uint8_t StatusRepStart = 0x04;    // repeated START before the byte
constexpr std::uint8_t StatusNoStop = 0x02;      // clear = a STOP follows the byte
constexpr std::uint8_t StatusNak = 0x01;         // the byte was not acknowledged

constexpr std::int32_t CaptureBufferSize = 1600000;  // bytes, 800,000 pairs
constexpr std::int32_t TelegramIndexSize = 50000;    // slot 0 + 49,999 telegram starts
constexpr std::int32_t NoTelegram = -1;              // an unused index slot

class CaptureStore {
  public:
    // A fresh store: new (not zeroed) buffer, IndexCount 1, the other counters 0.
    CaptureStore();
    CaptureStore(const CaptureStore&) = delete;
    CaptureStore& operator=(const CaptureStore&) = delete;

    // The pairs from offset 0; bytes beyond BytesUsed are undefined.
    std::unique_ptr<std::uint8_t[]> CaptureBuffer;
    // Byte offsets into CaptureBuffer. Slot 0 is the buffer's base (offset 0); slot i >= 1
    // the status byte of the i-th telegram start; unused slots hold NoTelegram.
    std::unique_ptr<std::int32_t[]> TelegramIndex;
    std::atomic<std::int32_t> BytesUsed{0};   // bytes filled; even when filled by capture
    std::int32_t DecodePos = 0;               // next pair the decoder has not consumed (GUI thread)
    std::int32_t TelegramNo = 0;              // number printed on the next trace line (GUI thread)
    std::atomic<std::int32_t> IndexCount{1};  // next free TelegramIndex slot
    std::int32_t StartBytes = 0;              // BytesUsed when the latest recording started

    // The store part of ClearProtokoll: a fresh buffer, all slots unused, counters reset.
    void reset();

    // No room for one more pair or one more telegram start.
    bool StoreFull() const;

    // Appends one pair and indexes it when it starts a telegram. Refuses (false) a pair
    // when StoreFull holds, so the store never grows beyond its limits.
    bool AppendBusEvent(std::uint8_t status, std::uint8_t data);

    // After BytesUsed bytes were read into a cleared store: indexes every pair whose status
    // has StatusStart. Indexing stops when the index is full; the bytes stay and are shown.
    void RebuildTelegramIndex();
};

// Appends bytes taken from the link's receive buffer as pairs from the run's start,
// checking StoreFull before each pair; what does not fit is dropped. A last status byte
// without its data byte (a run of odd length) is dropped too: the adapter sends whole
// pairs, so pairing it with the next run would shift every later pair. Nothing outside
// bytes[0..len) is read. Returns the number of pairs stored.
int appendReceived(CaptureStore& store, const std::uint8_t* bytes, std::uint32_t len);

// The process-wide store; null before the main window allocated it.
CaptureStore* captureStore();
void setCaptureStore(CaptureStore* store);

// Empties the process-wide store and the trace view: fresh buffer, counters reset, the
// view painted in ColorBackground and its text cleared. The decoder's run state is left
// as it is. Never called while a recording runs.
void ClearProtokoll();
