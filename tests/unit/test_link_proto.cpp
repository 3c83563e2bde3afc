// The wire format and the receive rules, byte by byte, without a port.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "linkproto.h"

using namespace vlcom;

namespace {

std::string bytes(std::initializer_list<int> l) {
    std::string s;
    for (int c : l) s.push_back(static_cast<char>(c));
    return s;
}

// Records what the rules hand out, in order, as a readable trace.
struct Recorder : RxSink {
    std::vector<std::string> events;
    std::vector<std::string> answers, blocks;
    std::string replies;
    void ackByte(uint8_t c) override { events.push_back("ack" + std::to_string(c)); }
    void readyByte(uint8_t c) override { events.push_back("ready" + std::to_string(c)); }
    void controlByte(uint8_t c) override { events.push_back("ctl" + std::to_string(c)); }
    void answer(const std::string& p) override {
        answers.push_back(p);
        events.push_back("answer");
    }
    void block(const std::string& d) override {
        blocks.push_back(d);
        events.push_back("block");
    }
    void reply(uint8_t c) override { replies.push_back(static_cast<char>(c)); }
};

struct Feeder {
    RxMachine m;
    Recorder r;
    int32_t blockSize = 64;
    void feed(const std::string& s) {
        for (unsigned char c : s) m.feed(c, blockSize, r);
    }
};

}  // namespace

TEST(LinkChecksum, TextExamplesAndFrames) {
    EXPECT_EQ(textChecksum("%"), 0x70);
    EXPECT_EQ(textChecksum(bytes({0x45})), 0xEF);  // 0x10 is inverted
    EXPECT_EQ(textChecksum(""), 0x55);
    EXPECT_EQ(buildTextFrame("%"), bytes({STX, 0x25, ETX, 0x70}));
    EXPECT_EQ(buildTextFrame(bytes({0x45})), bytes({STX, 0x45, ETX, 0xEF}));
    // The text checksum never looks like a control byte.
    for (int a = 0x20; a < 0x100; ++a)
        for (int b = 0x20; b < 0x100; b += 7) EXPECT_GE(textChecksum(bytes({a, b})), 0x20);
}

TEST(LinkChecksum, BlocksFullAndShort) {
    std::string data(100, '\0');
    for (int i = 0; i < 100; ++i) data[i] = static_cast<char>(i * 37);
    std::string full = buildBlock(data.data(), 64, 64);
    ASSERT_EQ(full.size(), 66u);
    EXPECT_EQ(static_cast<uint8_t>(full[0]), ENQ);
    EXPECT_EQ(full.substr(1, 64), data.substr(0, 64));
    EXPECT_EQ(static_cast<uint8_t>(full.back()), blockChecksum(data.data(), 64));

    std::string shortBlk = buildBlock(data.data() + 64, 36, 64);
    ASSERT_EQ(shortBlk.size(), 39u);
    EXPECT_EQ(static_cast<uint8_t>(shortBlk[0]), EOT);
    EXPECT_EQ(static_cast<uint8_t>(shortBlk[1]), 36);
    EXPECT_EQ(shortBlk.substr(2, 36), data.substr(64));

    EXPECT_EQ(blockChecksum(nullptr, 0), 0xAA);
    EXPECT_EQ(buildBlock(nullptr, 0, 64), bytes({EOT, 0, 0xAA}));
}

TEST(LinkAnswerWait, RoundsPerRate) {
    EXPECT_EQ(answerRounds(9600), 109);
    EXPECT_EQ(answerRounds(19200), 57);
    EXPECT_EQ(answerRounds(38400), 31);
    EXPECT_EQ(answerRounds(57600), 22);
    EXPECT_EQ(answerRounds(115200), 14);
    EXPECT_EQ(answerRounds(921600), 6);
    // Ties go to the even neighbour: 7.5 -> 8 and 5.5 -> 6; 6.4999 stays 6.
    EXPECT_EQ(answerRounds(400000), 8);
    EXPECT_EQ(answerRounds(2000000), 6);  // 5.5 -> 6
    EXPECT_EQ(answerRounds(1000000 / 3 * 2 + 1), 6);
    // No rate chosen yet: as for 9600 instead of a division by zero.
    EXPECT_EQ(answerRounds(0), 109);
    EXPECT_EQ(answerRounds(-5), 109);
    EXPECT_EQ(answerRounds(1), 10000);
}

TEST(LinkAnswerWait, BlockSizeAnswers) {
    EXPECT_EQ(parseBlockSize("x40"), 64);
    EXPECT_EQ(parseBlockSize("x"), 0);
    EXPECT_EQ(parseBlockSize(""), 0);
    EXPECT_EQ(parseBlockSize("%ff"), 255);
    EXPECT_EQ(parseBlockSize("x1G0"), 1);
    EXPECT_EQ(parseBlockSize("xFFFFFFFFFFFF"), 65535);
}

TEST(LinkRxRules, TelegramIsAnsweredAndAcked) {
    Feeder f;
    f.feed(buildTextFrame("x40"));
    ASSERT_EQ(f.r.answers.size(), 1u);
    EXPECT_EQ(f.r.answers[0], "x40");
    EXPECT_EQ(f.r.replies, bytes({ACK}));
    // Wrong checksum: NAK and nothing handed out.
    std::string bad = buildTextFrame("abc");
    bad.back() ^= 0x01;
    f.feed(bad);
    EXPECT_EQ(f.r.answers.size(), 1u);
    EXPECT_EQ(f.r.replies, bytes({ACK, NAK}));
    // An empty telegram is valid too.
    f.feed(bytes({STX, ETX, 0x55}));
    EXPECT_EQ(f.r.answers.back(), "");
    EXPECT_EQ(f.r.replies.back(), static_cast<char>(ACK));
}

TEST(LinkRxRules, ControlBytesGoToTheirSlotsEvenBeforeAChecksum) {
    Feeder f;
    f.feed(bytes({STX, 'o', 'k', ETX, ACK, DC1, ESC, 0x00, NAK}));
    f.feed(std::string(1, static_cast<char>(textChecksum("ok"))));
    EXPECT_EQ(f.r.events, (std::vector<std::string>{"ack6", "ready17", "ctl27", "ctl0", "ack21", "answer"}));
    EXPECT_EQ(f.r.answers[0], "ok");
    // Control bytes inside a telegram do not end up in its payload either.
    f.feed(bytes({STX, 'a', ESC, 'b', ETX}));
    f.feed(std::string(1, static_cast<char>(textChecksum("ab"))));
    EXPECT_EQ(f.r.answers.back(), "ab");
}

TEST(LinkRxRules, StrayBytesAndEtxOutsideATelegramAreDropped) {
    Feeder f;
    f.feed("hello");
    f.feed(bytes({ETX, 'z'}));
    EXPECT_TRUE(f.r.events.empty());
    EXPECT_TRUE(f.r.replies.empty());
    EXPECT_EQ(f.m.expectedChecksum(), 0);
    // A new STX in the middle restarts the telegram.
    f.feed(bytes({STX, 'a', 'b', STX, 'c', ETX}));
    f.feed(std::string(1, static_cast<char>(textChecksum("c"))));
    EXPECT_EQ(f.r.answers, (std::vector<std::string>{"c"}));
}

TEST(LinkRxRules, BlocksCarryEveryByteValue) {
    Feeder f;
    std::string data;
    for (int i = 0; i < 64; ++i) data.push_back(static_cast<char>((i * 5) & 0xFF));
    data[0] = STX;
    data[1] = ETX;
    data[2] = ENQ;
    data[3] = static_cast<char>(0xFF);
    data[4] = static_cast<char>(0x80);
    data[5] = static_cast<char>(0x7F);
    f.feed(buildBlock(data.data(), 64, 64));
    ASSERT_EQ(f.r.blocks.size(), 1u);
    EXPECT_EQ(f.r.blocks[0], data);
    f.feed(buildBlock(data.data(), 10, 64));  // short block
    ASSERT_EQ(f.r.blocks.size(), 2u);
    EXPECT_EQ(f.r.blocks[1], data.substr(0, 10));
    EXPECT_EQ(f.r.replies, bytes({ACK, ACK}));
    std::string bad = buildBlock(data.data(), 10, 64);
    bad.back() ^= 0x40;
    f.feed(bad);
    EXPECT_EQ(f.r.blocks.size(), 2u);
    EXPECT_EQ(f.r.replies.back(), static_cast<char>(NAK));
    EXPECT_FALSE(f.m.inBlock());
}

TEST(LinkRxRules, EmptyBlocks) {
    Feeder f;
    f.blockSize = 0;
    f.feed(bytes({ENQ, 0xAA}));  // no data with block size 0: the next byte is the checksum
    f.feed(bytes({EOT, 0, 0xAA}));
    f.feed(bytes({EOT, 0, 0xAB}));
    EXPECT_EQ(f.r.blocks, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(f.r.replies, bytes({ACK, ACK, NAK}));
}

TEST(LinkRxRules, BlockInsideATelegramKeepsTheTelegramOpen) {
    Feeder f;
    f.feed(bytes({STX, 'a', 'b', EOT, 2, 'x', 'y'}));
    f.feed(std::string(1, static_cast<char>(0xAA ^ 'x' ^ 'y')));
    EXPECT_EQ(f.r.blocks, (std::vector<std::string>{"xy"}));
    EXPECT_TRUE(f.m.inTelegram());
    // Bytes after the block are payload of the telegram until its ETX; "ab" is gone.
    f.feed(bytes({'c', 'd', ETX}));
    f.feed(std::string(1, static_cast<char>(textChecksum("cd"))));
    EXPECT_EQ(f.r.answers, (std::vector<std::string>{"cd"}));
}

TEST(LinkRxRules, OverlongTelegramIsDroppedUntilTheNextStx) {
    Feeder f;
    std::string max(kMaxTelegramPayload, 'A');
    f.feed(buildTextFrame(max));
    ASSERT_EQ(f.r.answers.size(), 1u);
    EXPECT_EQ(f.r.answers[0].size(), kMaxTelegramPayload);

    f.feed(std::string(1, static_cast<char>(STX)));
    f.feed(std::string(200000, 'B'));
    EXPECT_FALSE(f.m.inTelegram());
    EXPECT_LE(f.m.collected().size(), kMaxTelegramPayload);
    f.feed(bytes({ETX, 'Z'}));  // the end of the dropped telegram changes nothing
    EXPECT_EQ(f.r.answers.size(), 1u);
    EXPECT_EQ(f.r.replies, bytes({ACK}));
    f.feed(buildTextFrame("next"));
    EXPECT_EQ(f.r.answers.back(), "next");
}

TEST(LinkRxRules, RandomBytesKeepTheStateBounded) {
    Feeder f;
    std::mt19937 rng(7);
    for (int i = 0; i < 2000000; ++i) {
        f.m.feed(static_cast<uint8_t>(rng() & 0xFF), (i / 100000) % 2 ? 256 : 0, f.r);
        ASSERT_LE(f.m.collected().size(), kMaxTelegramPayload + 256);
    }
    // Afterwards a clean frame still comes through once any open block is complete.
    f.feed(std::string(300, static_cast<char>(0x30)));
    f.feed(buildTextFrame("ok"));
    EXPECT_EQ(f.r.answers.back(), "ok");
}
