// The receive rules fed any bytes with any block size: the collected payload never exceeds its
// limit, every reported telegram and block is well formed and acknowledged, and frames and
// blocks built by the sender come back as exactly what was framed.
//
// Input: mode byte, block size (two bytes), then the bytes on the wire.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "linkproto.h"

using namespace vlcom;

namespace {

struct Sink : RxSink {
    std::vector<std::string> answers, blocks;
    std::string replies;  // ACK or NAK written back, in order
    void ackByte(uint8_t c) override { FUZZ_CHECK(c == ACK || c == NAK); }
    void readyByte(uint8_t c) override { FUZZ_CHECK(c == DC1); }
    void controlByte(uint8_t c) override { FUZZ_CHECK(c < 0x20 && c != ACK && c != NAK && c != DC1); }
    void answer(const std::string& payload) override { answers.push_back(payload); }
    void block(const std::string& data) override { blocks.push_back(data); }
    void reply(uint8_t c) override {
        FUZZ_CHECK(c == ACK || c == NAK);
        replies.push_back(static_cast<char>(c));
    }
};

std::size_t blockLimit(int32_t blockSize) {
    return std::max<std::size_t>(255, blockSize > 0 ? std::size_t(blockSize) : 0);
}

// Feeds bytes and checks the machine's state after every byte and each telegram or block
// reported.
void feedChecked(RxMachine& m, const std::string& bytes, int32_t blockSize, Sink& sink) {
    for (unsigned char c : bytes) {
        const std::size_t answers = sink.answers.size(), blocks = sink.blocks.size();
        const std::size_t replies = sink.replies.size();
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
        FUZZ_CHECK(sink.answers.size() + sink.blocks.size() <= answers + blocks + 1);
        if (sink.answers.size() > answers) {
            const std::string& a = sink.answers.back();
            FUZZ_CHECK(a.size() <= kMaxTelegramPayload);
            FUZZ_CHECK(std::none_of(a.begin(), a.end(), [](char ch) { return uint8_t(ch) < 0x20; }));
            FUZZ_CHECK(uint8_t(c) == textChecksum(a));
        }
        if (sink.blocks.size() > blocks) {
            const std::string& b = sink.blocks.back();
            FUZZ_CHECK(b.size() <= blockLimit(blockSize));
            FUZZ_CHECK(uint8_t(c) == blockChecksum(b.data(), b.size()));
        }
        if (sink.answers.size() + sink.blocks.size() > answers + blocks) {
            FUZZ_CHECK(sink.replies.size() == replies + 1 && uint8_t(sink.replies.back()) == ACK);
        } else if (sink.replies.size() > replies) {
            FUZZ_CHECK(sink.replies.size() == replies + 1 && uint8_t(sink.replies.back()) == NAK);
        }
    }
}

// A telegram framed by the sender arrives as exactly its payload, acknowledged.
void expectTelegram(RxMachine& m, const std::string& payload, int32_t blockSize) {
    Sink sink;
    feedChecked(m, buildTextFrame(payload), blockSize, sink);
    FUZZ_CHECK(sink.blocks.empty());
    FUZZ_CHECK(sink.answers.size() == 1 && sink.answers[0] == payload);
    FUZZ_CHECK(sink.replies == std::string(1, char(ACK)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    const uint16_t raw = in.u16();
    // Mostly the sizes an adapter reports; sometimes anything a block-size reply can give.
    int32_t blockSize = (mode & 0x80) ? int32_t(raw) : int32_t(raw % 320);
    if ((mode & 0xC0) == 0x40) blockSize = -int32_t(raw % 4);  // what no adapter says
    const std::string wire = in.rest();

    // Any bytes.
    RxMachine m;
    Sink sink;
    feedChecked(m, wire, blockSize, sink);

    // Outside a block, the next frame is taken whole, whatever came before it.
    std::string payload;
    for (char ch : wire)
        if (uint8_t(ch) >= 0x20) payload.push_back(ch);
    if (!m.inBlock()) expectTelegram(m, payload, blockSize);

    // From a fresh machine: any payload without control bytes, also one at the length limit;
    // one beyond it is dropped, and the next frame is taken again.
    RxMachine fresh;
    std::string framed = payload;
    if (mode & 0x01) framed.resize(kMaxTelegramPayload, framed.empty() ? 'A' : framed[0]);
    expectTelegram(fresh, framed, blockSize);
    if (mode & 0x02) {
        Sink over;
        feedChecked(fresh, buildTextFrame(std::string(kMaxTelegramPayload + 1, 'B')), blockSize, over);
        FUZZ_CHECK(over.answers.empty() && over.blocks.empty());
        expectTelegram(fresh, payload, blockSize);
    }

    // Blocks: any data, as a short block, or as a full block of the block size.
    std::string blockData = wire;
    if (blockSize > 0 && (mode & 0x04)) {
        blockData.resize(std::size_t(blockSize), '\x55');
    } else if (blockData.size() > 255) {
        blockData.resize(255);
    }
    RxMachine blockRx;
    Sink blockSink;
    feedChecked(blockRx, buildBlock(blockData.data(), blockData.size(), blockSize), blockSize, blockSink);
    FUZZ_CHECK(blockSink.answers.empty());
    FUZZ_CHECK(blockSink.blocks.size() == 1 && blockSink.blocks[0] == blockData);
    FUZZ_CHECK(!blockRx.inBlock() && blockRx.collected().empty());
    return 0;
}
