// Binary blocks in both directions and the capture stream.
#include <map>

#include "test_sim_port.h"
#include "traffic.h"

using namespace rafusim;
using simtest::Client;

struct Blocks : simtest::SimFixture {
    Client c{sim.linkPath()};

    // Reads one block (ENQ with the block size or EOT with its count); checks the checksum.
    std::vector<uint8_t> readBlock(int blockSize = 64, int timeoutMs = 2000) {
        auto lead = c.read(1, timeoutMs);
        if (lead.empty()) return {};
        size_t n = size_t(blockSize);
        if (lead[0] == EOT) {
            auto cnt = c.read(1);
            if (cnt.empty()) return {};
            n = cnt[0];
        } else {
            EXPECT_EQ(lead[0], ENQ);
        }
        auto data = c.read(n);
        EXPECT_EQ(data.size(), n);
        auto sum = c.read(1);
        EXPECT_EQ(sum, std::vector<uint8_t>{blockChecksum(data.data(), data.size())});
        return data;
    }
};

TEST_F(Blocks, ReceivedBlocksAreAckedAndFollowedByReady) {
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + 0x11);
    c.write(frameBlock(data, 64));
    EXPECT_EQ(c.read(2), (std::vector<uint8_t>{ACK, DC1}));
    auto bad = frameBlock({1, 2, 3}, 64);
    bad.back() ^= 0xFF;
    c.write(bad);
    EXPECT_EQ(c.read(2), (std::vector<uint8_t>{NAK, DC1}));
    c.write({EOT, 0, 0xAA});
    EXPECT_EQ(c.read(2), (std::vector<uint8_t>{ACK, DC1}));
    sim.nakNextBlocks(1);
    c.write(frameBlock({9}, 64));
    EXPECT_EQ(c.read(2), (std::vector<uint8_t>{NAK, DC1}));
    sim.setAutoReady(false);
    c.write(frameBlock({STX, ETX, 0x13}, 64));  // control values are data inside a block
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_TRUE(c.quiet(50)) << "no DC1 on demand";
    auto expect = data;
    expect.insert(expect.end(), {STX, ETX, 0x13});
    EXPECT_EQ(sim.binaryReceived(), expect);
}

TEST_F(Blocks, RequestsAreAnsweredWithBlocksAndEscIsEchoed) {
    std::vector<uint8_t> tx(100);
    for (size_t i = 0; i < tx.size(); ++i) tx[i] = uint8_t(0xFF - i);
    sim.setBinaryTxData(tx);
    c.write({DC2});
    auto first = readBlock();
    c.write({ACK});
    c.write({DC4, 36});
    auto second = readBlock();
    c.write({ACK});
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_EQ(first, tx);
    c.write({ESC});
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ESC});
    c.write({DC4, 2});  // after ESC the data start again
    EXPECT_EQ(readBlock(), (std::vector<uint8_t>{0xFF, 0xFE}));
    c.write({NAK});  // a NAKed block is sent again
    EXPECT_EQ(readBlock(), (std::vector<uint8_t>{0xFF, 0xFE}));
    c.write({ACK});
    EXPECT_TRUE(c.quiet(50));
}

TEST_F(Blocks, CaptureScriptStreamsExactPairsUntilAcked) {
    std::vector<uint8_t> pairs;
    for (int i = 0; i < 75; ++i) {
        pairs.push_back(uint8_t(StatusNoError | StatusNoStop | (i % 5 == 0 ? StatusStart : 0)));
        pairs.push_back(uint8_t(i % 3 == 0 ? 0x11 : i % 3 == 1 ? 0x13 : 0x0D));
    }
    sim.setCaptureScript(pairs);
    c.sendText("11");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    std::vector<uint8_t> got;
    auto b = readBlock();
    ASSERT_EQ(b.size(), 64u);
    c.write({NAK});
    EXPECT_EQ(readBlock(), b) << "resent after NAK";
    c.write({ACK});
    got.insert(got.end(), b.begin(), b.end());
    b = readBlock();
    ASSERT_EQ(b.size(), 64u);
    c.write({ACK});
    got.insert(got.end(), b.begin(), b.end());
    b = readBlock();
    ASSERT_EQ(b.size(), 22u) << "the rest as a short block";
    c.write({ACK});
    got.insert(got.end(), b.begin(), b.end());
    EXPECT_EQ(got, pairs);
    c.sendText("10");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    ASSERT_TRUE(sim.waitCaptureIdle(2000));
    EXPECT_EQ(sim.captureSent(), pairs);
    EXPECT_EQ(sim.stats().blockNaks, 1u);
}

TEST_F(Blocks, GeneratedTrafficIsWellFormed) {
    TrafficOptions t;
    t.bytesPerSecond = 0;
    t.maxPairs = 3000;
    t.bufferFullEvery = 50;
    sim.setCaptureTraffic(t);
    c.sendText("13");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    std::vector<uint8_t> got;
    for (;;) {
        auto b = readBlock(64, 300);
        if (b.empty()) break;
        ASSERT_EQ(b.size() % 2, 0u);
        c.write({ACK});
        got.insert(got.end(), b.begin(), b.end());
    }
    ASSERT_GE(got.size(), 6000u);
    ASSERT_LT(got.size(), 6100u) << "ends with the telegram under way";
    c.sendText("10");
    ASSERT_TRUE(sim.waitCaptureIdle(2000));
    EXPECT_EQ(sim.captureSent(), got);

    // Every telegram opens with a start (or is the buffer-full mark) and ends with a stop.
    bool inTelegram = false;
    size_t starts = 0, fulls = 0, naks = 0, errors = 0, repStarts = 0, ports = 0;
    for (size_t i = 0; i < got.size(); i += 2) {
        uint8_t st = got[i];
        if (st & StatusBufferFull) {
            ++fulls;
            EXPECT_FALSE(inTelegram);
            continue;
        }
        EXPECT_EQ(bool(st & StatusStart), !inTelegram) << "pair " << i / 2;
        starts += (st & StatusStart) ? 1 : 0;
        naks += (st & StatusNak) ? 1 : 0;
        errors += (st & StatusNoError) ? 0 : 1;
        repStarts += (st & StatusRepStart) ? 1 : 0;
        ports += (st & StatusPort) ? 1 : 0;
        inTelegram = (st & StatusNoStop) != 0;
    }
    EXPECT_FALSE(inTelegram);
    EXPECT_GT(starts, 100u);
    EXPECT_GT(fulls, 0u);
    EXPECT_GT(naks, 0u);
    EXPECT_GT(errors, 0u);
    EXPECT_GT(repStarts, 0u);
    EXPECT_GT(ports, 0u);
}

TEST_F(Blocks, RatedTrafficRunsUntilStopped) {
    TrafficOptions t;
    t.bytesPerSecond = 20000;
    sim.setCaptureTraffic(t);
    sim.setCaptureFlushMs(10);
    c.sendText("11");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    std::vector<uint8_t> got;
    for (int i = 0; i < 5; ++i) {
        auto b = readBlock();
        ASSERT_FALSE(b.empty());
        c.write({ACK});
        got.insert(got.end(), b.begin(), b.end());
    }
    c.sendText("10");
    // The reply ACK and the remaining blocks may interleave: take what comes.
    bool acked = false;
    for (;;) {
        auto lead = c.read(1, 300);
        if (lead.empty()) break;
        if (lead[0] == ACK) {
            acked = true;
            continue;
        }
        size_t n = 64;
        if (lead[0] == EOT) n = c.read(1)[0];
        auto data = c.read(n);
        c.read(1);
        c.write({ACK});
        got.insert(got.end(), data.begin(), data.end());
    }
    EXPECT_TRUE(acked);
    ASSERT_TRUE(sim.waitCaptureIdle(2000));
    EXPECT_EQ(sim.captureSent(), got);
    EXPECT_FALSE(sim.captureRunning());
}

TEST_F(Blocks, OddBlockSizeStillSendsWholePairs) {
    sim.setBlockSize(63);
    std::vector<uint8_t> pairs;
    for (int i = 0; i < 100; ++i)
        pairs.insert(pairs.end(), {uint8_t(StatusNoError | StatusStart), uint8_t(i)});
    sim.setCaptureScript(pairs);
    c.sendText("11");
    ASSERT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    std::vector<uint8_t> got;
    while (got.size() < pairs.size()) {
        auto b = readBlock(63);
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(b.size() % 2, 0u);
        EXPECT_LT(b.size(), 63u);
        c.write({ACK});
        got.insert(got.end(), b.begin(), b.end());
    }
    EXPECT_EQ(got, pairs);
}

namespace {

// Pairs per telegram of a generated stream without buffer-full marks.
std::map<size_t, size_t> telegramLengths(const TrafficOptions& o, size_t pairs, double* bytesPerTelegram) {
    TrafficGenerator g(o);
    std::vector<uint8_t> out;
    g.generate(pairs, out);
    std::map<size_t, size_t> lengths;
    size_t len = 0, telegrams = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        if ((out[i] & StatusStart) && len) ++lengths[len], len = 0;
        if (out[i] & StatusStart) ++telegrams;
        ++len;
    }
    *bytesPerTelegram = double(out.size()) / double(telegrams);
    return lengths;
}

}  // namespace

TEST(Traffic, DataBytesRangeSetsTelegramLength) {
    TrafficOptions o;
    o.naks = false;
    o.errors = false;
    double perTelegram = 0;
    // The store's 1,600,000 bytes over its 49,999 telegram slots: 32 bytes per telegram.
    // The built-in mix stays below, so the index fills first.
    telegramLengths(o, 100000, &perTelegram);
    EXPECT_LT(perTelegram, 32.0);

    // Exactly 20 data bytes: a write (address, sub-address), a random read (address,
    // sub-address, read address) or a current-address read (read address).
    o.dataBytesMin = o.dataBytesMax = 20;
    for (const auto& [len, n] : telegramLengths(o, 100000, &perTelegram))
        EXPECT_TRUE(len == 22 || len == 23 || len == 21) << len << " pairs, " << n << " times";

    o.dataBytesMin = 14;
    o.dataBytesMax = 30;
    const auto lengths = telegramLengths(o, 100000, &perTelegram);
    EXPECT_GT(perTelegram, 32.0);  // the buffer fills first
    EXPECT_EQ(lengths.begin()->first, 15u);
    EXPECT_EQ(lengths.rbegin()->first, 33u);

    // No data bytes: writes of address and sub-address only, reads still carry one byte.
    o.dataBytesMin = o.dataBytesMax = 0;
    for (const auto& [len, n] : telegramLengths(o, 10000, &perTelegram))
        EXPECT_TRUE(len == 2 || len == 4) << len << " pairs, " << n << " times";
}
