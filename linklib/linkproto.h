// Wire format of the RAFU link: control bytes, checksums, frame and block
// builders, and the receive rules as a state machine fed one byte at a time.
// Pure code: no I/O, no threads, no globals.
#pragma once

#include <cstdint>
#include <string>

namespace vlcom {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t ENQ = 0x05;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t DC1 = 0x11;
constexpr uint8_t DC2 = 0x12;
constexpr uint8_t DC4 = 0x14;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t ESC = 0x1B;

// Longest text payload the receiver accepts; a longer telegram is dropped.
constexpr size_t kMaxTelegramPayload = 32767;
// Largest block size a short block's count byte can serve.
constexpr int32_t kMaxBlockSize = 256;

// Sending a text telegram: up to kSendAttempts writes of the frame; after each write a pause
// of kAfterWriteMs, then up to kAckPolls looks for the acknowledge, kAckPollMs apart.
constexpr int kSendAttempts = 3;
constexpr int kAfterWriteMs = 5;
constexpr int kAckPolls = 50;
constexpr int kAckPollMs = 5;
// The longest a send waits for the acknowledge of one attempt (255 ms).
constexpr int kAttemptMs = kAfterWriteMs + kAckPolls * kAckPollMs;

// Text checksum: 0x55 xor every payload byte, inverted when below 0x20.
uint8_t textChecksum(const std::string& payload);
// Block checksum: 0xAA xor every data byte.
uint8_t blockChecksum(const char* data, size_t len);

// STX, payload, ETX, checksum.
std::string buildTextFrame(const std::string& payload);
// ENQ + data when len == blockSize, else EOT + count + data; checksum last.
// len must not exceed 255 for a short block.
std::string buildBlock(const char* data, size_t len, int32_t blockSize);

// Answer wait in 1-ms rounds: 1,000,000 / baud + 5, rounded half to even.
// A rate of 0 or below (none chosen yet) waits as for 9600 baud; the wait is
// capped at 10,000 rounds so that an absurdly low rate cannot hang a caller.
int answerRounds(int32_t baud);

// The block size in an answer: the text after its first character read as
// hexadecimal up to the first non-digit; 0 when there is none. Saturates at 65535.
int32_t parseBlockSize(const std::string& answer);

// What the receive rules do with the outside world.
class RxSink {
  public:
    virtual ~RxSink() = default;
    virtual void ackByte(uint8_t c) = 0;                  // ACK or NAK arrived
    virtual void readyByte(uint8_t c) = 0;                // DC1 arrived
    virtual void controlByte(uint8_t c) = 0;              // any other control byte
    virtual void answer(const std::string& payload) = 0;  // a valid telegram
    virtual void block(const std::string& data) = 0;      // a valid binary block
    virtual void reply(uint8_t c) = 0;                    // send ACK or NAK
};

// The receive thread's framing state. Starts empty; feed every received byte.
class RxMachine {
  public:
    void feed(uint8_t c, int32_t blockSize, RxSink& sink);

    // Inspection, for tests.
    bool inTelegram() const { return telegram_; }
    bool inBlock() const { return binary_; }
    int remaining() const { return remaining_; }
    uint8_t expectedChecksum() const { return expected_; }
    const std::string& collected() const { return collected_; }

  private:
    std::string collected_;
    uint8_t expected_ = 0;  // 0 = no checksum expected
    bool telegram_ = false;
    bool binary_ = false;
    int remaining_ = 0;  // data bytes still to come; -1 = count byte next
};

}  // namespace vlcom
