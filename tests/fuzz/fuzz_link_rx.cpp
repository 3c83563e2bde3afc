// The receive rules fed any bytes with any block size: the collected payload never exceeds its
// limit, every reported telegram and block is well formed and acknowledged, and frames and
// blocks built by the sender come back as exactly what was framed.
//
// Input: mode byte, block size (two bytes), then the bytes on the wire.
#include <algorithm>
#include <string>

#include "fuzzinput.h"
#include "linkproto.h"

using namespace vlcom;

namespace {

// Counts what the rules hand out and keeps the last of each.
struct Sink : RxSink {
    std::size_t answers = 0, blocks = 0, replies = 0;
    std::string lastAnswer, lastBlock;
    uint8_t lastReply = 0;  // ACK or NAK written back
    void ackByte(uint8_t c) override { FUZZ_CHECK(c == ACK || c == NAK); }
    void readyByte(uint8_t c) override { FUZZ_CHECK(c == DC1); }
    void controlByte(uint8_t c) override { FUZZ_CHECK(c < 0x20 && c != ACK && c != NAK && c != DC1); }
    void answer(const std::string& payload) override {
        ++answers;
        lastAnswer = payload;
    }
    void block(const std::string& data) override {
        ++blocks;
        lastBlock = data;
    }
    void reply(uint8_t c) override {
        FUZZ_CHECK(c == ACK || c == NAK);
        ++replies;
        lastReply = c;
    }
};

constexpr unsigned kLongRunShare = 256;
constexpr int32_t kUsualBlockSizes = 320;  // most inputs take a block size below this

std::size_t blockLimit(int32_t blockSize) {
    return std::max<std::size_t>(255, blockSize > 0 ? std::size_t(blockSize) : 0);
}

// Feeds bytes and checks the machine's state after every byte and each telegram or block
// reported.
void feedChecked(RxMachine& m, const std::string& bytes, int32_t blockSize, Sink& sink) {
    for (unsigned char c : bytes) {
        const std::size_t answers = sink.answers, blocks = sink.blocks, replies = sink.replies;
        m.feed(c, blockSize, sink);
        if (m.inBlock()) {
            FUZZ_CHECK(m.collected().size() <= blockLimit(blockSize));
            FUZZ_CHECK(m.remaining() >= -1 &&
                       std::size_t(std::max(m.remaining(), 0)) <= blockLimit(blockSize));
        } else {
            FUZZ_CHECK(m.collected().size() <= kMaxTelegramPayload);
            FUZZ_CHECK(m.remaining() == 0);
        }
        // At most one event per byte; every telegram and block is acknowledged.
        FUZZ_CHECK(sink.answers + sink.blocks <= answers + blocks + 1);
        if (sink.answers > answers) {
            const std::string& a = sink.lastAnswer;
            FUZZ_CHECK(a.size() <= kMaxTelegramPayload);
            for (char ch : a) FUZZ_CHECK(uint8_t(ch) >= 0x20);
            FUZZ_CHECK(uint8_t(c) == textChecksum(a));
        }
        if (sink.blocks > blocks) {
            const std::string& b = sink.lastBlock;
            FUZZ_CHECK(b.size() <= blockLimit(blockSize));
            FUZZ_CHECK(uint8_t(c) == blockChecksum(b.data(), b.size()));
        }
        if (sink.answers + sink.blocks > answers + blocks) {
            FUZZ_CHECK(sink.replies == replies + 1 && sink.lastReply == ACK);
        } else if (sink.replies > replies) {
            FUZZ_CHECK(sink.replies == replies + 1 && sink.lastReply == NAK);
        }
    }
}

// A machine in the state of a fresh one, one per role, kept across inputs: assigning a fresh
// machine keeps the buffer its payload grew into, which saves most of the allocations of a
// short input.
RxMachine& freshMachine(int role) {
    static RxMachine machines[3];
    machines[role] = RxMachine();
    return machines[role];
}

// A telegram framed by the sender arrives as exactly its payload, acknowledged.
void expectTelegram(RxMachine& m, const std::string& payload, int32_t blockSize) {
    Sink sink;
    feedChecked(m, buildTextFrame(payload), blockSize, sink);
    FUZZ_CHECK(sink.blocks == 0);
    FUZZ_CHECK(sink.answers == 1 && sink.lastAnswer == payload);
    FUZZ_CHECK(sink.replies == 1 && sink.lastReply == ACK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const uint16_t raw = in.u16();
    // Mostly the sizes an adapter reports; sometimes anything a block-size reply can give.
    int32_t blockSize = (mode & 0x80) ? int32_t(raw) : int32_t(raw % kUsualBlockSizes);
    if ((mode & 0xC0) == 0x40) blockSize = -int32_t(raw % 4);  // what no adapter says
    const std::string wire = in.rest();
    // Frames at and beyond the length limit and full blocks of an unusual size are up to tens
    // of thousands of bytes fed one at a time, a hundred times a short input: one input in
    // kLongRunShare takes them.
    const bool longRuns = kevofuzz::oneIn(data, size, kLongRunShare);

    // Any bytes.
    RxMachine& m = freshMachine(0);
    Sink sink;
    feedChecked(m, wire, blockSize, sink);

    // Outside a block, the next frame is taken whole, whatever came before it.
    std::string payload;
    payload.reserve(wire.size());
    for (char ch : wire)
        if (uint8_t(ch) >= 0x20) payload.push_back(ch);
    if (!m.inBlock()) expectTelegram(m, payload, blockSize);

    // From a fresh machine: any payload without control bytes, also one at the length limit;
    // one beyond it is dropped, and the next frame is taken again.
    RxMachine& fresh = freshMachine(1);
    std::string framed = payload;
    if (longRuns && (mode & 0x01)) framed.resize(kMaxTelegramPayload, framed.empty() ? 'A' : framed[0]);
    expectTelegram(fresh, framed, blockSize);
    if (longRuns && (mode & 0x02)) {
        Sink over;
        feedChecked(fresh, buildTextFrame(std::string(kMaxTelegramPayload + 1, 'B')), blockSize, over);
        FUZZ_CHECK(over.answers == 0 && over.blocks == 0);
        expectTelegram(fresh, payload, blockSize);
    }

    // Blocks: any data, as a short block, or as a full block of the block size (of an unusual
    // size only with the long runs).
    std::string blockData = wire;
    if (blockSize > 0 && (mode & 0x04) && (blockSize < kUsualBlockSizes || longRuns)) {
        blockData.resize(std::size_t(blockSize), '\x55');
    } else if (blockData.size() > 255) {
        blockData.resize(255);
    }
    RxMachine& blockRx = freshMachine(2);
    Sink blockSink;
    feedChecked(blockRx, buildBlock(blockData.data(), blockData.size(), blockSize), blockSize, blockSink);
    FUZZ_CHECK(blockSink.answers == 0);
    FUZZ_CHECK(blockSink.blocks == 1 && blockSink.lastBlock == blockData);
    FUZZ_CHECK(!blockRx.inBlock() && blockRx.collected().empty());
    return 0;
}
