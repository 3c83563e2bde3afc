// The vl-com library: process-wide link state, the receive thread and the
// exports that open and close the port, send telegrams and move binary blocks.
#include "linkstate.h"
#include "vl-com.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "linkproto.h"
#include "serialport.h"

namespace {

using namespace vlcom;
using Clock = std::chrono::steady_clock;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A one-value reply slot: a newer value overwrites one nobody took. The lock only
// makes copy-and-empty one step; the slot semantics are those of a plain variable.
// Each value carries the number of acknowledges (ACK or NAK) received up to its arrival.
class Slot {
  public:
    void put(const std::string& v, uint64_t acks = 0) {
        std::lock_guard<std::mutex> g(m_);
        v_ = v;
        acks_ = acks;
    }
    std::string take(uint64_t* acks = nullptr) {
        std::lock_guard<std::mutex> g(m_);
        std::string r;
        r.swap(v_);
        if (acks) *acks = acks_;
        return r;
    }
    // Empties the slot only when it holds exactly the byte c.
    bool takeIf(uint8_t c) {
        std::lock_guard<std::mutex> g(m_);
        if (v_.size() == 1 && static_cast<uint8_t>(v_[0]) == c) {
            v_.clear();
            return true;
        }
        return false;
    }
    bool empty() {
        std::lock_guard<std::mutex> g(m_);
        return v_.empty();
    }
    void clear() { take(); }

  private:
    std::mutex m_;
    std::string v_;
    uint64_t acks_ = 0;
};

// Library state. Zero or empty at load.
Slot AckSlot, ReadySlot, ControlSlot, AnswerSlot;
std::string BinRxBuffer;
std::atomic<int32_t> BinRxBusy{0};
std::atomic<int32_t> RxRunFlag{0};

serial::SerialPort PortFileNo;  // the open port; closed = no port open
std::mutex WriteLock;           // one port write at a time, never interleaved
std::string LinkPort;
std::atomic<int32_t> LinkBaud{0};
std::atomic<int32_t> BlockSize{0};

std::thread RxThreadHandle;
std::atomic<bool> RxEnded{true};
std::atomic<bool> RxAbort{false};  // close gave up waiting for a quiet line

// How long a close lets the receive thread drain a busy line before it stops it.
constexpr int kCloseDrainMs = 250;

// One caller at a time: every export but asGetRxBinBuf, VlCOMVersion and the setup dialog
// itself runs under this lock, so that two threads never share a reply slot or an exchange.
std::mutex ExchangeLock;

// Acknowledges (ACK or NAK) received since the library was loaded; counted by the receive
// thread in the order the bytes came.
std::atomic<uint64_t> AcksReceived{0};
// The adapter works through the telegrams in order and answers each before it acknowledges
// the next one. So an answer that came before the last telegram's acknowledge belongs to an
// earlier telegram (a late answer, or one nobody fetched): only answers whose acknowledge
// count reaches this value are the last telegram's. Under ExchangeLock.
uint64_t ExchangeAcks = 0;

// A write to the open port failed with an error or a hang-up: the device is gone
// (unplugged). Until the port is closed every send reports it at once.
std::atomic<bool> PortGone{false};

void acquireBin() {
    while (BinRxBusy.exchange(1, std::memory_order_acquire)) std::this_thread::yield();
}
void releaseBin() {
    BinRxBusy.store(0, std::memory_order_release);
}

using WriteResult = serial::SerialPort::WriteResult;

// A write that only stalls (an adapter that reads slowly) leaves the port usable.
WriteResult portWrite(const void* data, size_t len) {
    std::lock_guard<std::mutex> g(WriteLock);
    const WriteResult r = PortFileNo.writeAll(data, len);
    if (r == WriteResult::Failed && PortFileNo.isOpen()) PortGone.store(true);
    return r;
}
WriteResult portWrite(const std::string& s) {
    return portWrite(s.data(), s.size());
}
WriteResult portWriteByte(uint8_t c) {
    return portWrite(&c, 1);
}

BSTR newString(const std::string& s) {
    if (s.empty()) return nullptr;
    return SysAllocStringByteLen(s.data(), static_cast<uint32_t>(s.size()));
}

std::string fromString(BSTR b) {
    if (!b) return std::string();
    return std::string(b, SysStringByteLen(b));
}

// The caller's string is replaced: the old one is freed, the new one is theirs.
void assignString(BSTR* ref, const std::string& s) {
    SysFreeString(*ref);
    *ref = newString(s);
}

class ThreadSink : public RxSink {
  public:
    void ackByte(uint8_t c) override { AckSlot.put(std::string(1, static_cast<char>(c)), ++AcksReceived); }
    void readyByte(uint8_t c) override { ReadySlot.put(std::string(1, static_cast<char>(c))); }
    void controlByte(uint8_t c) override { ControlSlot.put(std::string(1, static_cast<char>(c))); }
    void answer(const std::string& payload) override { AnswerSlot.put(payload, AcksReceived.load()); }
    void block(const std::string& data) override {
        acquireBin();
        BinRxBuffer += data;
        releaseBin();
    }
    void reply(uint8_t c) override { portWriteByte(c); }
};

void ReceiveThread() {
    RxMachine machine;
    ThreadSink sink;
    int idle = 0;
    uint8_t buf[8192];
    bool lastPollEmpty = true;
    for (;;) {
        // The run flag counts only after an empty poll: a busy line is drained first.
        if (RxAbort.load() || (lastPollEmpty && RxRunFlag.load() == 0)) break;
        int waiting = PortFileNo.bytesWaiting();
        size_t got = 0;
        if (waiting > 0) {
            got = PortFileNo.readSome(
                buf, sizeof buf < static_cast<size_t>(waiting) ? sizeof buf : static_cast<size_t>(waiting));
            if (got == 0) idle = 0;  // reported bytes but none came: a hang-up; sleep
        }
        lastPollEmpty = got == 0;
        if (got == 0) {
            if (idle > 0) {
                --idle;
                std::this_thread::yield();
            } else {
                idle = 100;
                sleepMs(1);
            }
            continue;
        }
        idle = 200;
        int32_t bs = BlockSize.load();
        for (size_t i = 0; i < got; ++i) machine.feed(buf[i], bs, sink);
    }
    RxEnded.store(true);
}

// Waits for the old receive thread. On a quiet line it ends within about a
// millisecond; a line that never falls quiet is cut off after kCloseDrainMs.
void stopReceiveThread() {
    RxRunFlag.store(0);
    if (!RxThreadHandle.joinable()) return;
    auto deadline = Clock::now() + std::chrono::milliseconds(kCloseDrainMs);
    while (!RxEnded.load() && Clock::now() < deadline) sleepMs(1);
    if (!RxEnded.load()) RxAbort.store(true);
    RxThreadHandle.join();
    RxAbort.store(false);
}

// The answer wait; an answer of an earlier telegram is dropped and the wait goes on.
BSTR waitAnswer() {
    const int n = answerRounds(LinkBaud.load());
    for (int i = 0; i < n; ++i) {
        sleepMs(1);
        uint64_t acks = 0;
        std::string a = AnswerSlot.take(&acks);
        if (!a.empty() && acks >= ExchangeAcks) return newString(a);
    }
    return nullptr;
}

int32_t sendTelegram(BSTR* payload) {
    if (!payload) return 6;
    std::string frame = buildTextFrame(fromString(*payload));
    assignString(payload, frame);
    if (PortGone.load()) return VLCOM_PORT_GONE;
    // A new exchange: an acknowledge still in the slot is an earlier frame's, and until this
    // frame is acknowledged every answer is an earlier telegram's.
    AckSlot.clear();
    ExchangeAcks = AcksReceived.load() + 1;
    std::string reply;
    int32_t result = 0;
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        const WriteResult w = portWrite(frame);
        // A failed write to the open port: no attempt can reach the adapter any more.
        if (w == WriteResult::Failed && PortGone.load()) return VLCOM_PORT_GONE;
        // A stalled one: the adapter takes no more; what it got of the frame is cut off.
        if (w == WriteResult::Stalled) return reply.empty() ? 6 : static_cast<uint8_t>(reply[0]);
        sleepMs(kAfterWriteMs);
        uint64_t acks = 0;
        for (int i = 0; i < kAckPolls; ++i) {
            std::string r = AckSlot.take(&acks);
            if (!r.empty()) {
                reply = r;
                break;
            }
            sleepMs(kAckPollMs);
        }
        if (reply.empty()) {
            result = 6;
        } else if (static_cast<uint8_t>(reply[0]) == ACK) {
            result = 0;
            ExchangeAcks = acks;
            break;
        } else {
            result = static_cast<uint8_t>(reply[0]);
        }
    }
    return result;
}

BSTR sendAndWait(BSTR* payload) {
    if (sendTelegram(payload) != 0) return nullptr;
    return waitAnswer();
}

void quitRxBin() {
    for (int i = 0; i < 300; ++i) {
        portWriteByte(ESC);
        sleepMs(2);
        if (ControlSlot.takeIf(ESC)) return;
    }
}

int32_t effectiveBlockSize() {
    int32_t b = BlockSize.load();
    return (b > 0 && b <= kMaxBlockSize) ? b : 0;
}

// A process that ends (or unloads the library) with the port still open must not
// leave a running receive thread behind: destroying a joinable std::thread would
// abort the process, and the thread would read state that is being torn down.
// Defined after all library state, so it is destroyed before any of it.
struct CloseAtUnload {
    ~CloseAtUnload() { VlCOMClosePort(); }
} closeAtUnload;

// Load hook: nothing to set up; all state starts zero or empty.
__attribute__((constructor)) void LibMain() {}

}  // namespace

void vlcom::setLinkTarget(const std::string& port, int32_t baud) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    LinkPort = port;
    LinkBaud.store(baud);
}

extern "C" {

BSTR VlCOMVersion(void) {
    static const char kText[] = "VL-COM[1.00]Copyright (C) KEVO-Projekt, alle Rechte vorbehalten.";
    return SysAllocStringByteLen(kText, sizeof kText - 1);
}

int32_t VlCOMPortSel(BSTR* port, int32_t* baud) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    LinkPort = port ? fromString(*port) : std::string();
    LinkBaud.store(baud ? *baud : 0);
    return serial::probePort(LinkPort) == serial::OpenResult::Ok ? 1 : 0;
}

int32_t VlCOMOpenPort(void) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    int32_t result = 0;
    if (!PortFileNo.isOpen()) {
        // An old thread must be gone before a new one reads the port.
        stopReceiveThread();
        {
            std::lock_guard<std::mutex> g(WriteLock);
            if (PortFileNo.open(LinkPort) != serial::OpenResult::Ok) return 0;
            PortFileNo.configure(LinkBaud.load());  // failures ignored
            // What came while the port was closed (a late answer) is no answer to this open.
            PortFileNo.discardInput();
        }
        result = 1;
        PortGone.store(false);
        if (RxRunFlag.load() == 0) {
            RxRunFlag.store(1);
            RxEnded.store(false);
            try {
                RxThreadHandle = std::thread(ReceiveThread);
            } catch (...) {
                RxRunFlag.store(0);
                RxEnded.store(true);
            }
        }
    }
    BSTR query = SysAllocStringByteLen("%", 1);
    BSTR answer = sendAndWait(&query);
    BlockSize.store(parseBlockSize(fromString(answer)));
    SysFreeString(answer);
    SysFreeString(query);
    if (BlockSize.load() != 0) result = BlockSize.load();
    return result;
}

void VlCOMClosePort(void) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    if (!PortFileNo.isOpen()) return;
    stopReceiveThread();
    std::lock_guard<std::mutex> w(WriteLock);
    PortFileNo.close();
    PortGone.store(false);
}

int32_t VlCOMSendTelegram(BSTR* payload) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    return sendTelegram(payload);
}

BSTR VlCOMTelegramEmpfang(void) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    return waitAnswer();
}

BSTR VlCOMAntwortTelegram(BSTR* payload) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    return sendAndWait(payload);
}

BSTR asGetRxBinBuf(void) {
    if (BinRxBusy.exchange(1, std::memory_order_acquire)) return nullptr;
    std::string out;
    out.swap(BinRxBuffer);
    releaseBin();
    return newString(out);
}

int32_t VlCOMSendBIN(BSTR* data) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    std::string d = data ? fromString(*data) : std::string();
    if (d.empty()) return 0;
    // Without a usable block size no block can be framed: report "not ready".
    const int32_t B = effectiveBlockSize();
    if (B == 0) return 3;
    size_t pos = 0;
    while (pos < d.size()) {
        size_t r = d.size() - pos;
        size_t len = r < static_cast<size_t>(B) ? r : static_cast<size_t>(B);
        std::string blk = buildBlock(d.data() + pos, len, B);
        int naks = 0;
        bool acked = false;
        for (int tries = 0; tries < 250 && !acked; ++tries) {
            if (ReadySlot.empty() && naks == 0) {
                sleepMs(1);
                continue;
            }
            ReadySlot.clear();
            portWrite(blk);
            sleepMs(6);
            std::string reply;
            for (int i = 0; i < 250; ++i) {
                std::string a = AckSlot.take();
                if (!a.empty()) {
                    reply = a;
                    if (static_cast<uint8_t>(a[0]) == ACK) {
                        acked = true;
                        break;
                    }
                }
                sleepMs(1);
            }
            if (acked) break;
            if (reply.empty()) return 2;
            if (++naks >= 3) return 1;
        }
        if (!acked) return 3;
        pos += len;
    }
    return 0;
}

void VlCOMQuitTxBin(void) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    for (int i = 0; i < 100; ++i) {
        if (!ReadySlot.empty()) {
            ReadySlot.clear();
            quitRxBin();
            return;
        }
        sleepMs(5);
    }
}

BSTR VlCOMBinEmpfang(int32_t* count) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    acquireBin();
    BinRxBuffer.clear();
    releaseBin();
    const int32_t B = effectiveBlockSize();
    if (B == 0) {
        portWriteByte(ESC);
        return nullptr;
    }
    const int64_t total = count ? *count : 0;
    std::string result;
    for (int64_t p = 0; p < total; p += B) {
        int64_t r = total - p;
        if (r < B) {
            uint8_t req[2] = {DC4, static_cast<uint8_t>(r)};
            portWrite(req, 2);
        } else {
            portWriteByte(DC2);
        }
        bool got = false;
        for (int i = 0; i < B && !got; ++i) {
            sleepMs(2);
            acquireBin();
            if (!BinRxBuffer.empty()) {
                result += BinRxBuffer;
                BinRxBuffer.clear();
                got = true;
            }
            releaseBin();
        }
        if (!got) return nullptr;
    }
    return newString(result);
}

void VlCOMQuitRxBin(void) {
    std::lock_guard<std::mutex> g(ExchangeLock);
    quitRxBin();
}

}  // extern "C"
