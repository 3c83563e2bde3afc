// rafusim: a RAFU adapter simulator for tests and for running KEVO without the hardware.
//
// The simulator creates a pseudo-terminal pair, links <portDir>/<portName> to the slave side
// and plays the adapter on the master side: text frames (STX payload ETX checksum) answered
// with ACK/NAK and reply telegrams, binary blocks (ENQ/EOT) in both directions, the block-size
// query, the whole command catalogue on a simulated I2C bus, and the capture stream.
// It implements framing and checksums on its own and shares no code with the link library.
//
// Threads: one I/O thread per started simulator owns the pty master. Every public method may
// be called from any thread at any time; all of them are cheap and never wait on the wire,
// except the wait* helpers, which block the caller up to their deadline. Times are in ms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rafusim {

// Control bytes of the wire.
constexpr uint8_t STX = 0x02, ETX = 0x03, EOT = 0x04, ENQ = 0x05, ACK = 0x06, DC1 = 0x11, DC2 = 0x12,
                  DC4 = 0x14, NAK = 0x15, ESC = 0x1B;

// Text-frame checksum: 0x55 XOR every payload byte; a result below 0x20 is XORed with 0xFF.
uint8_t textChecksum(const std::string& payload);
// Block checksum: 0xAA XOR every data byte, no inversion.
uint8_t blockChecksum(const uint8_t* data, size_t n);
// STX payload ETX checksum.
std::vector<uint8_t> frameText(const std::string& payload);
// ENQ data checksum when full (data.size() == blockSize), else EOT count data checksum.
std::vector<uint8_t> frameBlock(const std::vector<uint8_t>& data, int blockSize);

// BusEvent status bits, as the adapter reports them in the capture stream.
enum StatusBits : uint8_t {
    StatusBufferFull = 0x80,
    StatusPortAfter = 0x40,
    StatusPort = 0x20,
    StatusNoError = 0x10,  // clear = protocol error
    StatusStart = 0x08,
    StatusRepStart = 0x04,
    StatusNoStop = 0x02,  // clear = a stop follows
    StatusNak = 0x01,
};

enum class DeviceKind {
    Eeprom,    // page writes wrap inside the page
    Ram,       // writes and reads run on through the whole memory (wrapping at its end)
    Register,  // a small register file; the pointer wraps at its size
};

struct DeviceConfig {
    DeviceKind kind = DeviceKind::Eeprom;
    int size = 256;           // bytes
    int pageSize = 8;         // EEPROM write page
    int subAddressBytes = 1;  // 1 or 2. With 1 and size > 256 the block number (offset / 256)
                              // sits in the address bits above R/W (24C04..24C16): the device
                              // answers at address + 2 * block for every block.
    uint8_t fill = 0xFF;      // initial content
};

// What the adapter was told by the analyzer configuration telegram
// "0L%d,/%d,O3,F%02X,%02X%02X,T%04X," + "p"/"P" + probe digits.
struct AnalyzerConfig {
    std::string raw;  // the telegram as received
    bool valid = false;
    int logicLevel = 0;
    int clockDivider = 0;
    std::string o;  // the text after ",O" (normally "3")
    int busFilter = 0;
    int dataFilterSwitches = 0;
    int dataFilter = 0;
    int masterDivisor = 0;  // T
    bool positiveLogic = false;
    std::string probes;  // the probe digits as sent ("0000", "21", ...)
    int probeMaster = -1, probeRed = -1, probeBlue = -1, probeWhite = -1;  // -1: not sent
};

// Realistic bus traffic for the capture stream.
struct TrafficOptions {
    int bytesPerSecond = 92160;  // event bytes (status + data) per second; 0 = as fast as the link takes them
    uint32_t seed = 1;
    bool naks = true;         // devices that do not answer
    bool errors = true;       // protocol errors (StatusNoError clear)
    bool portBits = true;     // input-port bits
    int bufferFullEvery = 0;  // a StatusBufferFull pair after about this many telegrams (0 = never)
    size_t maxPairs = 0;      // stop generating after this many pairs (0 = unlimited)
    // Data bytes per telegram after its address and sub-address bytes, drawn evenly from
    // [dataBytesMin, dataBytesMax] (a read carries at least one). While dataBytesMax is
    // below 0 the built-in mix is used: writes of 0..8 and reads of 1..16 bytes, about 14
    // event bytes per telegram, so the telegram index fills before the capture buffer.
    int dataBytesMin = 0;
    int dataBytesMax = -1;
};

// Counters of what crossed the wire (all since start() or the last clearLog()).
struct Stats {
    size_t framesOk = 0;           // text frames with a valid checksum
    size_t framesBadChecksum = 0;  // answered with NAK
    size_t acksSent = 0, naksSent = 0;
    size_t repliesSent = 0;                              // reply telegrams written
    size_t replyAcks = 0, replyNaks = 0;                 // the other side's answers to reply telegrams
    size_t blocksReceivedOk = 0, blocksReceivedBad = 0;  // blocks from the other side
    size_t blocksSent = 0;                               // block writes, resends included
    size_t blockAcks = 0, blockNaks = 0, blockTimeouts = 0, blocksDropped = 0;
    size_t escReceived = 0, dc2Received = 0, dc4Received = 0;
};

class Simulator {
  public:
    struct Options {
        std::string portName = "COM1";
        std::string portDir;  // default: $VLCOM_PORT_DIR, else $XDG_CONFIG_HOME/vl-com/ports
        int blockSize = 64;
        std::string firmware = "RAFU I2C-Analyzer V1.20";
        std::string serial = "RA0512345678";
        bool pll = false;             // "2" answers "2C1" with, "2C0" without PLL clock
        bool autoReady = true;        // send DC1 after every block received
        int blockAckTimeoutMs = 250;  // resend a capture/requested block after this long without answer
        int blockMaxSends = 4;        // then drop it (counted in Stats::blocksDropped)
        size_t logLimit = 64u << 20;  // bytes kept per byte log (raw in/out, binary, capture);
                                      // the counters go on beyond it
    };

    Simulator();
    explicit Simulator(Options options);
    ~Simulator();  // stop()
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Creates the pty, the port link and the I/O thread. False (with lastError()) on failure.
    bool start();
    // Ends the thread, closes the pty and removes the link. Safe to call twice.
    void stop();
    bool running() const;
    std::string lastError() const;
    std::string portName() const;
    std::string portDir() const;
    std::string linkPath() const;   // <portDir>/<portName>
    std::string slavePath() const;  // /dev/pts/N

    // ---- wire side ----
    void setBlockSize(int blockSize);  // "%" answers "x" + hex digits ("x40")
    // Exact "%" reply; empty: back to the default. Blocks are still framed with blockSize().
    void setBlockSizeReply(const std::string& raw);
    int blockSize() const;
    // Scripted reply for an exact telegram; an empty reply means: acknowledge only.
    void setReply(const std::string& telegram, const std::string& reply);
    void clearReplies();
    // Asked first for every acknowledged telegram: nullopt = go on with scripted replies and the
    // catalogue; a string = the reply ("" = acknowledge only). Called on the I/O thread.
    void setReplyHandler(std::function<std::optional<std::string>(const std::string&)> handler);

    std::vector<std::string> receivedTelegrams() const;  // every text frame with a valid checksum
    std::vector<uint8_t> rawReceived() const;            // every byte read from the line
    std::vector<uint8_t> rawSent() const;                // every byte written to the line
    Stats stats() const;
    void clearLog();  // telegrams, raw bytes, binary data received, stats
    bool waitForTelegrams(size_t n, int timeoutMs) const;
    bool waitForRaw(size_t n, int timeoutMs) const;
    bool waitFor(const std::function<bool()>& condition, int timeoutMs) const;

    // ---- faults on demand ----
    void nakNextFrames(int n);      // answer the next n valid frames with NAK, unexecuted
    void nakThenSilence(int n);     // NAK the next n valid frames, then fall silent (setSilent)
    void ignoreNextFrames(int n);   // neither ACK nor reply for the next n valid frames
    void wrongChecksumNext(int n);  // the next n reply telegrams carry a wrong checksum
    void setSilent(bool silent);    // read everything, send nothing
    void setAckDelayMs(int ms);     // before the ACK of a frame
    void setReplyDelayMs(int ms);   // between the ACK and the reply telegram
    void sendRaw(const std::vector<uint8_t>& bytes);
    void cutNextReply();                        // the next reply stops after half its payload (no ETX)
    void controlByteBeforeChecksum(uint8_t c);  // next reply: STX payload ETX c checksum
    void vanish();                              // close the master and remove the link: the port is gone
    void pauseReading(bool paused);             // a slow reader: while paused, nothing is read from the line

    // ---- identification ----
    void setFirmware(const std::string& text);  // "$" answers "$" + text
    void setSerial(const std::string& text);    // "#" answers "#" + text
    void setPll(bool pll);
    void setOptionsReply(const std::string& raw);  // exact "2" reply (e.g. "x" for one without "C")

    // ---- configuration kept ----
    AnalyzerConfig lastConfig() const;
    size_t configCount() const;
    int busClockDivisor() const;  // from "0T"+HHHH or the configuration's T; -1 before either

    // ---- simulated I2C bus (addresses are 8-bit write addresses, even) ----
    void addDevice(uint8_t address, const DeviceConfig& config);
    void removeDevice(uint8_t address);
    void clearDevices();
    std::vector<uint8_t> memory(uint8_t address) const;  // empty when there is no such device
    void setMemory(uint8_t address, size_t offset, const std::vector<uint8_t>& bytes);
    // Status for the bus telegrams at this address ("08", "02", ...): for the next n of them,
    // or for every one while n is 0; an empty status = normal behaviour again.
    void setAddressStatus(uint8_t address, const std::string& status, int n = 0);
    // The next n bus telegrams (",R"/",W", probes included) answer with this status, unexecuted.
    void failNextBus(const std::string& status, int n = 1);
    std::vector<std::string> busLog() const;  // executed bus telegrams, in order

    // ---- binary block transfer ----
    // Writes one DC1. A sender waits for DC1 before every block, the first included: call this
    // before a transfer to the simulator; after each received block auto-ready sends the next.
    void sendReady();
    void setAutoReady(bool on);
    void nakNextBlocks(int n);                    // NAK the next n received blocks whatever their checksum
    std::vector<uint8_t> binaryReceived() const;  // data of every block ACKed, in order
    // What DC2/DC4 requests hand out, from its start after each ESC; beyond it a counter pattern.
    void setBinaryTxData(const std::vector<uint8_t>& data);

    // ---- capture ----
    bool captureRunning() const;
    int captureTrigger() const;  // digit of the last "1"+digit, -1 before
    // Exact bytes (status, data pairs) streamed after every capture start, as fast as they are ACKed.
    void setCaptureScript(const std::vector<uint8_t>& pairs);
    void setCaptureTraffic(const TrafficOptions& options);  // generated traffic instead of a script
    void setCaptureIdle();                                  // stream nothing
    void setCaptureFlushMs(int ms);            // send a short block when data waited this long (default 20)
    std::vector<uint8_t> captureSent() const;  // data of every capture block ACKed, in order (up to logLimit)
    size_t captureBytesSent() const;           // all of them, beyond logLimit too
    size_t captureBytesPending() const;        // generated but not yet ACKed
    bool waitCaptureIdle(int timeoutMs) const;  // capture stopped and everything ACKed
    // Queues one capture block of exactly these bytes (1 to 255) behind the blocks already
    // formed, whatever the capture state; an odd count is a fault the adapter never sends on
    // its own. Call it when nothing else waits to be formed (captureBytesPending() is 0).
    void sendCaptureBlock(const std::vector<uint8_t>& data);

    // Starts capture as if "1"+trigger had arrived (for a person running the program).
    void startCapture(int trigger = 0);
    void stopCapture();

    struct Impl;

  private:
    std::unique_ptr<Impl> d;
};

}  // namespace rafusim
