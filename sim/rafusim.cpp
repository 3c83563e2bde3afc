#include "rafusim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "i2cbus.h"
#include "traffic.h"

namespace rafusim {

using Clock = std::chrono::steady_clock;

uint8_t textChecksum(const std::string& payload) {
    uint8_t c = 0x55;
    for (unsigned char b : payload) c ^= b;
    if (c < 0x20) c ^= 0xFF;
    return c;
}

uint8_t blockChecksum(const uint8_t* data, size_t n) {
    uint8_t c = 0xAA;
    for (size_t i = 0; i < n; ++i) c ^= data[i];
    return c;
}

std::vector<uint8_t> frameText(const std::string& payload) {
    std::vector<uint8_t> f;
    f.reserve(payload.size() + 3);
    f.push_back(STX);
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(ETX);
    f.push_back(textChecksum(payload));
    return f;
}

std::vector<uint8_t> frameBlock(const std::vector<uint8_t>& data, int blockSize) {
    std::vector<uint8_t> f;
    f.reserve(data.size() + 3);
    if (blockSize > 0 && data.size() == size_t(blockSize)) {
        f.push_back(ENQ);
    } else {
        f.push_back(EOT);
        f.push_back(uint8_t(data.size()));
    }
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(blockChecksum(data.data(), data.size()));
    return f;
}

namespace {

bool makeDirs(const std::string& path) {
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        cur = path.substr(0, pos);
        if (cur.empty()) continue;
        if (::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string defaultPortDir() {
    if (const char* d = std::getenv("VLCOM_PORT_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/vl-com/ports";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.config/vl-com/ports";
}

void setRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    ::cfmakeraw(&t);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
}

std::string hexUpper(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

}  // namespace

struct Simulator::Impl {
    Options opt;

    // ---- lifetime (guarded by m) ----
    mutable std::mutex m;
    mutable std::condition_variable cv;  // notified on every change tests may wait for
    std::thread thread;
    std::atomic<bool> quit{false};
    bool isRunning = false;
    int master = -1, slaveHold = -1, wakeRd = -1, wakeWr = -1;
    std::string slave, link, dir, error;
    std::mutex writeMutex;

    // ---- wire configuration and faults ----
    std::string blockSizeReply;
    std::map<std::string, std::string> replies;
    std::function<std::optional<std::string>(const std::string&)> handler;
    int nakFrames = 0, ignoreFrames = 0, wrongChecksum = 0;
    bool silentAfterNaks = false;  // fall silent once nakFrames has run out
    bool silent = false, cutReply = false;
    std::atomic<bool> readPaused{false};
    int ackDelayMs = 0, replyDelayMs = 0;
    int controlBeforeChecksum = -1;
    std::string firmware, serial, optionsReply;
    bool pll = false;

    // ---- logs ----
    std::vector<std::string> telegrams;
    std::vector<uint8_t> rawIn, rawOut, binIn;
    Stats stats;

    // ---- receiver state ----
    enum class Rx { Idle, Text, Checksum, BlockCount, BlockData, BlockChecksum, Dc4Count } rx = Rx::Idle;
    std::string text;
    std::vector<uint8_t> block;
    size_t blockRemaining = 0;

    // ---- configuration kept ----
    AnalyzerConfig config;
    size_t configs = 0;
    int divisor = -1;

    // ---- bus ----
    I2cBus bus;
    std::vector<std::string> busLog;

    // ---- blocks ----
    bool autoReady = true;
    int nakBlocks = 0;
    std::vector<uint8_t> txData;
    size_t txPos = 0;

    struct OutBlock {
        std::vector<uint8_t> data;
        bool capture = false;
        int sends = 0;
        Clock::time_point deadline;
    };
    std::deque<OutBlock> blockQueue;
    std::optional<OutBlock> outstanding;
    std::deque<std::vector<uint8_t>> deferredReplies;  // wait while a block awaits its answer
    Clock::time_point replyAckUntil{};                 // a reply's answer may still come

    // ---- capture ----
    enum class Source { Idle, Script, Traffic } source = Source::Idle;
    std::vector<uint8_t> script;
    TrafficOptions traffic;
    std::unique_ptr<TrafficGenerator> gen;
    bool capturing = false;
    int trigger = -1;
    int flushMs = 20;
    std::vector<uint8_t> capBuf;      // generated, not yet in a block
    Clock::time_point capBufSince{};  // when capBuf got its oldest byte
    Clock::time_point lastGen{};
    double budget = 0;
    bool overflowed = false;
    std::vector<uint8_t> capSent;
    size_t capSentCount = 0;
    static constexpr size_t kAdapterBuffer = 64 * 1024;  // the adapter's own capture buffer

    // Output produced while handling input, written after the lock is released.
    struct Out {
        int delayMs = 0;
        std::vector<uint8_t> bytes;
        bool reply = false;
    };
    std::vector<Out> outs;

    // ------------------------------------------------------------------
    void keep(std::vector<uint8_t>& log, const uint8_t* p, size_t n) {
        if (log.size() + n <= opt.logLimit) log.insert(log.end(), p, p + n);
    }

    void wake() {
        if (wakeWr >= 0) {
            char c = 1;
            [[maybe_unused]] auto r = ::write(wakeWr, &c, 1);
        }
    }

    void writeAll(const std::vector<uint8_t>& bytes) {
        std::lock_guard<std::mutex> wl(writeMutex);
        int fd;
        {
            std::lock_guard<std::mutex> l(m);
            fd = master;
            if (fd < 0) return;
            keep(rawOut, bytes.data(), bytes.size());
        }
        size_t done = 0;
        auto giveUp = Clock::now() + std::chrono::milliseconds(500);
        while (done < bytes.size()) {
            ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return;
            if (Clock::now() > giveUp || quit) return;  // nobody reads the port
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 5);
        }
    }

    // ---- receiving (m held) ----
    void plain(uint8_t b, int delayMs = 0) { outs.push_back({delayMs, {b}, false}); }

    void onControl(uint8_t c) {
        switch (c) {
            case ACK:
            case NAK:
                onAnswer(c);
                break;
            case DC2:
                ++stats.dc2Received;
                if (opt.blockSize > 0) queueTxBlock(size_t(opt.blockSize));
                break;
            case DC4:
                ++stats.dc4Received;
                rx = Rx::Dc4Count;
                break;
            case ESC:
                ++stats.escReceived;
                txPos = 0;
                if (!silent) plain(ESC);
                break;
            default:
                break;
        }
    }

    void queueTxBlock(size_t n) {
        OutBlock b;
        for (size_t i = 0; i < n; ++i, ++txPos)
            b.data.push_back(txPos < txData.size() ? txData[txPos] : uint8_t(txPos));
        blockQueue.push_front(std::move(b));  // a request goes before pending capture blocks
    }

    void onAnswer(uint8_t c) {
        if (outstanding) {
            if (c == ACK) {
                ++stats.blockAcks;
                if (outstanding->capture) {
                    capSentCount += outstanding->data.size();
                    keep(capSent, outstanding->data.data(), outstanding->data.size());
                }
                outstanding.reset();
            } else {
                ++stats.blockNaks;
                resendOrDrop();
            }
        } else {
            replyAckUntil = {};
            if (c == ACK)
                ++stats.replyAcks;
            else
                ++stats.replyNaks;
        }
        cv.notify_all();
    }

    void resendOrDrop() {
        if (outstanding->sends >= opt.blockMaxSends) {
            ++stats.blocksDropped;
            outstanding.reset();
            return;
        }
        sendBlockNow();
    }

    void sendBlockNow() {
        ++outstanding->sends;
        ++stats.blocksSent;
        outstanding->deadline = Clock::now() + std::chrono::milliseconds(opt.blockAckTimeoutMs);
        outs.push_back({0, frameBlock(outstanding->data, opt.blockSize), false});
    }

    void onByte(uint8_t c) {
        switch (rx) {
            case Rx::BlockCount:
                blockRemaining = c;
                rx = blockRemaining ? Rx::BlockData : Rx::BlockChecksum;
                return;
            case Rx::BlockData:
                block.push_back(c);
                if (--blockRemaining == 0) rx = Rx::BlockChecksum;
                return;
            case Rx::BlockChecksum:
                onBlock(c);
                rx = Rx::Idle;
                return;
            case Rx::Dc4Count:
                rx = Rx::Idle;
                queueTxBlock(c);
                return;
            default:
                break;
        }
        if (c == STX) {
            text.clear();
            rx = Rx::Text;
        } else if (c == ETX) {
            if (rx == Rx::Text) rx = Rx::Checksum;
        } else if (c == EOT || c == ENQ) {
            text.clear();
            block.clear();
            if (c == EOT) {
                rx = Rx::BlockCount;
            } else {
                blockRemaining = opt.blockSize > 0 ? size_t(opt.blockSize) : 0;
                rx = blockRemaining ? Rx::BlockData : Rx::BlockChecksum;
            }
        } else if (c < 0x20) {
            onControl(c);
        } else if (rx == Rx::Text) {
            text.push_back(char(c));
        } else if (rx == Rx::Checksum) {
            rx = Rx::Idle;
            onFrame(c);
        }
    }

    void onBlock(uint8_t c) {
        bool ok = c == blockChecksum(block.data(), block.size());
        if (ok && nakBlocks > 0) {
            --nakBlocks;
            ok = false;
        }
        if (silent) return;
        if (ok) {
            ++stats.blocksReceivedOk;
            keep(binIn, block.data(), block.size());
            plain(ACK);
            ++stats.acksSent;
        } else {
            ++stats.blocksReceivedBad;
            plain(NAK);
            ++stats.naksSent;
        }
        if (autoReady) plain(DC1);
        block.clear();
        cv.notify_all();
    }

    void onFrame(uint8_t checksum) {
        std::string payload;
        payload.swap(text);
        if (checksum != textChecksum(payload)) {
            ++stats.framesBadChecksum;
            if (!silent) {
                plain(NAK);
                ++stats.naksSent;
            }
            cv.notify_all();
            return;
        }
        ++stats.framesOk;
        telegrams.push_back(payload);
        cv.notify_all();
        if (silent) return;
        if (ignoreFrames > 0) {
            --ignoreFrames;
            return;
        }
        if (nakFrames > 0) {
            --nakFrames;
            plain(NAK, ackDelayMs);
            ++stats.naksSent;
            if (nakFrames == 0 && silentAfterNaks) silent = true, silentAfterNaks = false;
            return;
        }
        plain(ACK, ackDelayMs);
        ++stats.acksSent;
        std::optional<std::string> reply;
        if (handler) {
            // The handler may call back into the simulator: run it without the lock.
            auto h = handler;
            m.unlock();
            reply = h(payload);
            m.lock();
        }
        if (!reply) {
            auto it = replies.find(payload);
            if (it != replies.end()) reply = it->second;
        }
        if (!reply) reply = execute(payload);
        if (!reply->empty()) sendReply(*reply);
        cv.notify_all();
    }

    void sendReply(const std::string& payload) {
        std::vector<uint8_t> f = frameText(payload);
        if (cutReply) {
            cutReply = false;
            f.resize(1 + payload.size() / 2);
        } else {
            if (wrongChecksum > 0) {
                --wrongChecksum;
                f.back() ^= 0x01;  // still 0x20..0xFF, so the receiver takes it as the checksum
            }
            if (controlBeforeChecksum >= 0) {
                f.insert(f.end() - 1, uint8_t(controlBeforeChecksum));
                controlBeforeChecksum = -1;
            }
        }
        ++stats.repliesSent;
        outs.push_back({replyDelayMs, std::move(f), true});
    }

    // The adapter's command catalogue. Returns the reply ("" = acknowledge only).
    std::string execute(const std::string& t) {
        if (t == "%") {
            if (!blockSizeReply.empty()) return blockSizeReply;
            return "x" + hexUpper(unsigned(opt.blockSize));
        }
        if (t == "$") return "$" + firmware;
        if (t == "#") return "#" + serial;
        if (t == "2") return !optionsReply.empty() ? optionsReply : std::string(pll ? "2C1" : "2C0");
        if (t.size() >= 2 && t[0] == ',' && (t[1] == 'R' || t[1] == 'W')) {
            std::string r = bus.execute(t);
            busLog.push_back(t);
            return r;
        }
        if (t.compare(0, 2, "0L") == 0) {
            parseConfig(t);
            return "";
        }
        if (t.compare(0, 2, "0T") == 0) {
            char* end = nullptr;
            long v = std::strtol(t.c_str() + 2, &end, 16);
            if (end != t.c_str() + 2) divisor = int(v);
            return "";
        }
        if (t.size() >= 2 && t[0] == '1') {
            char* end = nullptr;
            long v = std::strtol(t.c_str() + 1, &end, 10);
            if (end && *end == 0) {
                if (v == 0)
                    captureStop();
                else
                    captureStart(int(v));
            }
            return "";
        }
        return "";
    }

    void parseConfig(const std::string& t) {
        AnalyzerConfig c;
        c.raw = t;
        ++configs;
        // Fields separated by ",": 0L<d> /<d> O<x> F<hh> <hhhh> T<hhhh> <p|P><digits>
        std::vector<std::string> f;
        size_t start = 0;
        for (;;) {
            size_t comma = t.find(',', start);
            f.push_back(t.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        auto num = [](const std::string& s, int base, int& out) {
            if (s.empty()) return false;
            char* end = nullptr;
            unsigned long v = std::strtoul(s.c_str(), &end, base);
            out = int(uint32_t(v));
            return *end == 0;
        };
        bool ok =
            f.size() == 7 && f[0].size() > 2 && num(f[0].substr(2), 10, c.logicLevel) && f[1].size() > 1 &&
            f[1][0] == '/' && num(f[1].substr(1), 10, c.clockDivider) && f[2].size() > 1 && f[2][0] == 'O' &&
            f[3].size() > 1 && f[3][0] == 'F' && num(f[3].substr(1), 16, c.busFilter) && f[4].size() >= 4 &&
            num(f[4].substr(0, f[4].size() - 2), 16, c.dataFilterSwitches) &&
            num(f[4].substr(f[4].size() - 2), 16, c.dataFilter) && f[5].size() > 1 && f[5][0] == 'T' &&
            num(f[5].substr(1), 16, c.masterDivisor) && !f[6].empty() && (f[6][0] == 'p' || f[6][0] == 'P');
        if (f.size() > 2 && !f[2].empty()) c.o = f[2].substr(1);
        if (ok) {
            c.positiveLogic = f[6][0] == 'p';
            c.probes = f[6].substr(1);
            int* slots[] = {&c.probeMaster, &c.probeRed, &c.probeBlue, &c.probeWhite};
            for (size_t i = 0; i < c.probes.size() && i < 4; ++i) {
                if (c.probes[i] < '0' || c.probes[i] > '9') ok = false;
                *slots[i] = c.probes[i] - '0';
            }
            if (c.probes.size() != 2 && c.probes.size() != 4) ok = false;
            divisor = c.masterDivisor;
        }
        c.valid = ok;
        config = c;
    }

    // ---- capture (m held) ----
    void captureStart(int trig) {
        trigger = trig;
        capturing = true;
        overflowed = false;
        budget = 0;
        lastGen = Clock::now();
        if (source == Source::Script) appendCapture(script);
        if (source == Source::Traffic) gen = std::make_unique<TrafficGenerator>(traffic);
        cv.notify_all();
    }

    void captureStop() {
        capturing = false;
        cv.notify_all();
    }

    void appendCapture(const std::vector<uint8_t>& bytes) {
        if (bytes.empty()) return;
        if (capBuf.empty()) capBufSince = Clock::now();
        capBuf.insert(capBuf.end(), bytes.begin(), bytes.end());
    }

    size_t pendingCapture() const {
        size_t n = capBuf.size();
        for (const auto& b : blockQueue)
            if (b.capture) n += b.data.size();
        if (outstanding && outstanding->capture) n += outstanding->data.size();
        return n;
    }

    void generate() {
        if (!capturing || source != Source::Traffic || !gen) return;
        auto now = Clock::now();
        size_t pairs;
        if (traffic.bytesPerSecond > 0) {
            budget += std::chrono::duration<double>(now - lastGen).count() * traffic.bytesPerSecond / 2.0;
            if (budget > 1e6) budget = 1e6;
            pairs = size_t(budget);
            budget -= double(pairs);
        } else {
            // As fast as the link takes them: keep a few blocks ready.
            size_t want = size_t(std::max(opt.blockSize, 64)) * 4;
            pairs = capBuf.size() < want ? (want - capBuf.size()) / 2 : 0;
        }
        lastGen = now;
        if (!pairs) return;
        std::vector<uint8_t> fresh;
        fresh.reserve(pairs * 2);
        gen->generate(pairs, fresh);
        if (pendingCapture() + fresh.size() > kAdapterBuffer) {
            overflowed = true;  // the adapter's buffer is full: these events are lost
            return;
        }
        if (overflowed) {
            overflowed = false;
            appendCapture({StatusBufferFull, 0x00});
        }
        appendCapture(fresh);
    }

    void formCaptureBlocks() {
        size_t queued = 0;
        for (const auto& b : blockQueue)
            if (b.capture) ++queued;
        // Every block holds whole pairs, since the receiver pairs the bytes of each buffer it
        // takes from its start: full blocks only with an even block size, short blocks of an
        // even length below the block size (up to 254 when that leaves no room).
        const size_t full = opt.blockSize > 0 ? size_t(opt.blockSize) : 0;
        const bool fullBlocks = full >= 2 && full % 2 == 0;
        const size_t shortMax = (full > 2 && full <= 255 ? full - 1 : 254) & ~size_t(1);
        while (queued < 2 && !capBuf.empty()) {
            size_t n;
            if (fullBlocks && capBuf.size() >= full) {
                n = full;
            } else {
                bool old = Clock::now() - capBufSince >= std::chrono::milliseconds(flushMs);
                const bool room = fullBlocks || capBuf.size() < shortMax;  // more may join this block
                if (capturing && !old && (!gen || !gen->exhausted()) && source != Source::Script && room)
                    break;
                n = std::min(capBuf.size(), shortMax);
                if (n > 1) n &= ~size_t(1);
            }
            OutBlock b;
            b.capture = true;
            b.data.assign(capBuf.begin(), capBuf.begin() + long(n));
            capBuf.erase(capBuf.begin(), capBuf.begin() + long(n));
            capBufSince = Clock::now();
            blockQueue.push_back(std::move(b));
            ++queued;
        }
    }

    // Sends what may be sent now; called on the I/O thread with m held.
    void pump() {
        auto now = Clock::now();
        if (outstanding && now >= outstanding->deadline) {
            ++stats.blockTimeouts;
            resendOrDrop();
        }
        if (!outstanding) {
            while (!deferredReplies.empty()) {
                outs.push_back({0, std::move(deferredReplies.front()), true});
                deferredReplies.pop_front();
            }
        }
        generate();
        formCaptureBlocks();
        if (!outstanding && !blockQueue.empty() && !silent && now >= replyAckUntil) {
            outstanding = std::move(blockQueue.front());
            blockQueue.pop_front();
            sendBlockNow();
        }
    }

    int nextTimeoutMs() const {
        if (outstanding || !blockQueue.empty() || !capBuf.empty()) return 1;
        if (capturing && source == Source::Traffic) return 1;
        return 50;
    }

    void flushOuts() {
        std::vector<Out> list;
        {
            std::lock_guard<std::mutex> l(m);
            list.swap(outs);
        }
        for (auto& o : list) {
            if (o.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o.delayMs));
            if (o.reply) {
                std::lock_guard<std::mutex> l(m);
                if (outstanding) {
                    // A block awaits its ACK: the answer would be taken for the reply's.
                    deferredReplies.push_back(std::move(o.bytes));
                    continue;
                }
                replyAckUntil = Clock::now() + std::chrono::milliseconds(20);
            }
            writeAll(o.bytes);
        }
    }

    void loop() {
        std::vector<uint8_t> buf(4096);
        while (!quit) {
            int timeout;
            {
                std::lock_guard<std::mutex> l(m);
                timeout = nextTimeoutMs();
            }
            pollfd p[2] = {{master, short(readPaused ? 0 : POLLIN), 0}, {wakeRd, POLLIN, 0}};
            int r = ::poll(p, 2, timeout);
            if (quit) break;
            if (r > 0 && (p[1].revents & POLLIN)) {
                char tmp[64];
                while (::read(wakeRd, tmp, sizeof tmp) > 0) {
                }
            }
            if (r > 0 && (p[0].revents & POLLIN)) {
                ssize_t n = ::read(master, buf.data(), buf.size());
                if (n > 0) {
                    std::lock_guard<std::mutex> l(m);
                    keep(rawIn, buf.data(), size_t(n));
                    for (ssize_t i = 0; i < n; ++i) onByte(buf[size_t(i)]);
                    cv.notify_all();
                }
            } else if (r > 0 && (p[0].revents & (POLLHUP | POLLERR))) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            flushOuts();
            {
                std::lock_guard<std::mutex> l(m);
                pump();
            }
            flushOuts();
        }
    }
};

// ====================================================================================

Simulator::Simulator() : Simulator(Options{}) {}

Simulator::Simulator(Options options) : d(new Impl) {
    d->opt = std::move(options);
    d->firmware = d->opt.firmware;
    d->serial = d->opt.serial;
    d->pll = d->opt.pll;
    d->autoReady = d->opt.autoReady;
    if (d->opt.blockAckTimeoutMs < 1) d->opt.blockAckTimeoutMs = 1;
    if (d->opt.blockMaxSends < 1) d->opt.blockMaxSends = 1;
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start() {
    if (running()) return true;
    if (d->thread.get_id() == std::this_thread::get_id()) return false;  // from a reply handler
    if (d->thread.joinable()) d->thread.join();                          // ended from its own handler earlier
    std::lock_guard<std::mutex> l(d->m);
    if (d->isRunning) return true;
    d->error.clear();
    d->dir = d->opt.portDir.empty() ? defaultPortDir() : d->opt.portDir;
    auto fail = [&](const std::string& what) {
        d->error = what + ": " + std::strerror(errno);
        for (int* fd : {&d->master, &d->slaveHold, &d->wakeRd, &d->wakeWr})
            if (*fd >= 0) ::close(*fd), *fd = -1;
        return false;
    };
    if (!makeDirs(d->dir)) return fail("cannot create port folder " + d->dir);
    d->master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d->master < 0) return fail("posix_openpt");
    if (::grantpt(d->master) != 0 || ::unlockpt(d->master) != 0) return fail("grantpt/unlockpt");
    char name[128];
    if (::ptsname_r(d->master, name, sizeof name) != 0) return fail("ptsname");
    d->slave = name;
    // Holding the slave open keeps its raw settings and spares the master the hang-ups
    // between the clients' opens.
    d->slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (d->slaveHold < 0) return fail("open " + d->slave);
    setRaw(d->slaveHold);
    setRaw(d->master);
    ::fcntl(d->master, F_SETFL, ::fcntl(d->master, F_GETFL) | O_NONBLOCK);
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    d->wakeRd = pipefd[0];
    d->wakeWr = pipefd[1];
    d->link = d->dir + "/" + d->opt.portName;
    struct stat st {};
    if (::lstat(d->link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return fail("not a link, left alone: " + d->link);
        }
        ::unlink(d->link.c_str());
    }
    if (::symlink(name, d->link.c_str()) != 0) return fail("symlink " + d->link);
    d->quit = false;
    d->isRunning = true;
    d->thread = std::thread([this] { d->loop(); });
    return true;
}

void Simulator::stop() {
    // A reply handler may end the simulator from the I/O thread itself: then the thread is
    // joined later (next stop, start or the destructor).
    const bool self = d->thread.joinable() && d->thread.get_id() == std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> l(d->m);
        d->quit = true;
        d->wake();
    }
    if (!self && d->thread.joinable()) d->thread.join();
    std::lock_guard<std::mutex> wl(d->writeMutex);
    std::lock_guard<std::mutex> l(d->m);
    if (!d->isRunning) return;
    // Remove the link only while it still points at our pty.
    char target[256];
    ssize_t n = ::readlink(d->link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, size_t(n)) == d->slave) ::unlink(d->link.c_str());
    for (int* fd : {&d->master, &d->slaveHold, &d->wakeRd, &d->wakeWr})
        if (*fd >= 0) ::close(*fd), *fd = -1;
    d->isRunning = false;
    d->capturing = false;
    d->cv.notify_all();
}

bool Simulator::running() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->isRunning;
}
std::string Simulator::lastError() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->error;
}
std::string Simulator::portName() const {
    return d->opt.portName;
}
std::string Simulator::portDir() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->dir.empty() ? (d->opt.portDir.empty() ? defaultPortDir() : d->opt.portDir) : d->dir;
}
std::string Simulator::linkPath() const {
    return portDir() + "/" + d->opt.portName;
}
std::string Simulator::slavePath() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->slave;
}

// ---- wire side ----
void Simulator::setBlockSize(int blockSize) {
    std::lock_guard<std::mutex> l(d->m);
    d->opt.blockSize = blockSize;
}
void Simulator::setBlockSizeReply(const std::string& raw) {
    std::lock_guard<std::mutex> l(d->m);
    d->blockSizeReply = raw;
}
int Simulator::blockSize() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->opt.blockSize;
}
void Simulator::setReply(const std::string& telegram, const std::string& reply) {
    std::lock_guard<std::mutex> l(d->m);
    d->replies[telegram] = reply;
}
void Simulator::clearReplies() {
    std::lock_guard<std::mutex> l(d->m);
    d->replies.clear();
}
void Simulator::setReplyHandler(std::function<std::optional<std::string>(const std::string&)> handler) {
    std::lock_guard<std::mutex> l(d->m);
    d->handler = std::move(handler);
}
std::vector<std::string> Simulator::receivedTelegrams() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->telegrams;
}
std::vector<uint8_t> Simulator::rawReceived() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->rawIn;
}
std::vector<uint8_t> Simulator::rawSent() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->rawOut;
}
Stats Simulator::stats() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->stats;
}
void Simulator::clearLog() {
    std::lock_guard<std::mutex> l(d->m);
    d->telegrams.clear();
    d->rawIn.clear();
    d->rawOut.clear();
    d->binIn.clear();
    d->busLog.clear();
    d->capSent.clear();
    d->capSentCount = 0;
    d->stats = Stats{};
}
bool Simulator::waitFor(const std::function<bool()>& condition, int timeoutMs) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::unique_lock<std::mutex> l(d->m);
        d->cv.wait_for(l, std::chrono::milliseconds(2));
    }
    return true;
}
bool Simulator::waitForTelegrams(size_t n, int timeoutMs) const {
    return waitFor([&] { return receivedTelegrams().size() >= n; }, timeoutMs);
}
bool Simulator::waitForRaw(size_t n, int timeoutMs) const {
    return waitFor([&] { return rawReceived().size() >= n; }, timeoutMs);
}

// ---- faults ----
void Simulator::nakNextFrames(int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->nakFrames = n;
    d->silentAfterNaks = false;
}
void Simulator::nakThenSilence(int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->nakFrames = n;
    d->silentAfterNaks = n > 0;
    if (n <= 0) d->silent = true;
}
void Simulator::ignoreNextFrames(int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->ignoreFrames = n;
}
void Simulator::wrongChecksumNext(int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->wrongChecksum = n;
}
void Simulator::setSilent(bool silent) {
    std::lock_guard<std::mutex> l(d->m);
    d->silent = silent;
}
void Simulator::setAckDelayMs(int ms) {
    std::lock_guard<std::mutex> l(d->m);
    d->ackDelayMs = ms;
}
void Simulator::setReplyDelayMs(int ms) {
    std::lock_guard<std::mutex> l(d->m);
    d->replyDelayMs = ms;
}
void Simulator::sendRaw(const std::vector<uint8_t>& bytes) {
    d->writeAll(bytes);
}
void Simulator::cutNextReply() {
    std::lock_guard<std::mutex> l(d->m);
    d->cutReply = true;
}
void Simulator::controlByteBeforeChecksum(uint8_t c) {
    std::lock_guard<std::mutex> l(d->m);
    d->controlBeforeChecksum = c;
}
void Simulator::vanish() {
    stop();
}
void Simulator::pauseReading(bool paused) {
    d->readPaused = paused;
    d->wake();
}

// ---- identification ----
void Simulator::setFirmware(const std::string& text) {
    std::lock_guard<std::mutex> l(d->m);
    d->firmware = text;
}
void Simulator::setSerial(const std::string& text) {
    std::lock_guard<std::mutex> l(d->m);
    d->serial = text;
}
void Simulator::setPll(bool pll) {
    std::lock_guard<std::mutex> l(d->m);
    d->pll = pll;
}
void Simulator::setOptionsReply(const std::string& raw) {
    std::lock_guard<std::mutex> l(d->m);
    d->optionsReply = raw;
}

// ---- configuration ----
AnalyzerConfig Simulator::lastConfig() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->config;
}
size_t Simulator::configCount() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->configs;
}
int Simulator::busClockDivisor() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->divisor;
}

// ---- bus ----
void Simulator::addDevice(uint8_t address, const DeviceConfig& config) {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.addDevice(address, config);
}
void Simulator::removeDevice(uint8_t address) {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.removeDevice(address);
}
void Simulator::clearDevices() {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.clear();
}
std::vector<uint8_t> Simulator::memory(uint8_t address) const {
    std::lock_guard<std::mutex> l(d->m);
    return d->bus.memory(address);
}
void Simulator::setMemory(uint8_t address, size_t offset, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.setMemory(address, offset, bytes);
}
void Simulator::setAddressStatus(uint8_t address, const std::string& status, int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.setAddressStatus(address, status, n);
}
void Simulator::failNextBus(const std::string& status, int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->bus.failNext(status, n);
}
std::vector<std::string> Simulator::busLog() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->busLog;
}

// ---- blocks ----
void Simulator::sendReady() {
    d->writeAll({DC1});
}
void Simulator::setAutoReady(bool on) {
    std::lock_guard<std::mutex> l(d->m);
    d->autoReady = on;
}
void Simulator::nakNextBlocks(int n) {
    std::lock_guard<std::mutex> l(d->m);
    d->nakBlocks = n;
}
std::vector<uint8_t> Simulator::binaryReceived() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->binIn;
}
void Simulator::setBinaryTxData(const std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> l(d->m);
    d->txData = data;
    d->txPos = 0;
}

// ---- capture ----
bool Simulator::captureRunning() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->capturing;
}
int Simulator::captureTrigger() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->trigger;
}
void Simulator::setCaptureScript(const std::vector<uint8_t>& pairs) {
    std::lock_guard<std::mutex> l(d->m);
    d->script = pairs;
    d->source = Impl::Source::Script;
}
void Simulator::setCaptureTraffic(const TrafficOptions& options) {
    std::lock_guard<std::mutex> l(d->m);
    d->traffic = options;
    d->source = Impl::Source::Traffic;
    if (d->capturing) d->gen = std::make_unique<TrafficGenerator>(options);
    d->wake();
}
void Simulator::setCaptureIdle() {
    std::lock_guard<std::mutex> l(d->m);
    d->source = Impl::Source::Idle;
}
void Simulator::setCaptureFlushMs(int ms) {
    std::lock_guard<std::mutex> l(d->m);
    d->flushMs = ms;
}
std::vector<uint8_t> Simulator::captureSent() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->capSent;
}
size_t Simulator::captureBytesSent() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->capSentCount;
}
size_t Simulator::captureBytesPending() const {
    std::lock_guard<std::mutex> l(d->m);
    return d->pendingCapture();
}
bool Simulator::waitCaptureIdle(int timeoutMs) const {
    return waitFor(
        [&] {
            std::lock_guard<std::mutex> l(d->m);
            return !d->capturing && d->pendingCapture() == 0;
        },
        timeoutMs);
}
void Simulator::sendCaptureBlock(const std::vector<uint8_t>& data) {
    if (data.empty() || data.size() > 255) return;
    std::lock_guard<std::mutex> l(d->m);
    Impl::OutBlock b;
    b.capture = true;
    b.data = data;
    d->blockQueue.push_back(std::move(b));
    d->wake();
}
void Simulator::startCapture(int trigger) {
    std::lock_guard<std::mutex> l(d->m);
    d->captureStart(trigger);
    d->wake();
}
void Simulator::stopCapture() {
    std::lock_guard<std::mutex> l(d->m);
    d->captureStop();
    d->wake();
}

}  // namespace rafusim
