// Text telegrams between the library and the simulated adapter, byte for byte.
#include <atomic>
#include <future>

#include "linkproto.h"
#include "test_link_fixture.h"

using namespace linktest;
using rafusim::ACK;
using rafusim::ETX;
using rafusim::NAK;
using rafusim::STX;

namespace {

class Telegrams : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(openPort(), 64);
        SysFreeString(VlCOMTelegramEmpfang());  // nothing left over from earlier tests
        sim->clearLog();
    }
    size_t countNaks() {
        std::vector<uint8_t> raw = sim->rawReceived();
        return std::count(raw.begin(), raw.end(), NAK);
    }
};

}  // namespace

TEST_F(Telegrams, FramesAndChecksumsOnTheWire) {
    std::string frame;
    EXPECT_EQ(send("\x45", &frame), 0);
    const std::string expect = {char(STX), 0x45, char(ETX), char(0xEF)};
    EXPECT_EQ(frame, expect);  // the caller's string now holds the frame
    EXPECT_EQ(str(sim->rawReceived()), expect);

    sim->clearLog();
    EXPECT_EQ(send("%", &frame), 0);
    EXPECT_EQ(frame, (std::string{char(STX), '%', char(ETX), 0x70}));
    // The simulator answers "%" with the block size, which the library acknowledges and
    // keeps for the next wait.
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "x40");
    EXPECT_TRUE(waitUntil([&] { return sim->rawReceived().size() > frame.size(); }));
    EXPECT_EQ(str(sim->rawReceived()), frame + char(ACK));

    // Payload bytes above 0x7E pass unchanged in both directions.
    const std::string high = "A\x7F\x80\xFF";
    sim->setReply(high, std::string("r\x7F\x80\xFF", 4));
    EXPECT_EQ(query(high), std::string("r\x7F\x80\xFF", 4));
    ASSERT_FALSE(sim->receivedTelegrams().empty());
    EXPECT_EQ(sim->receivedTelegrams().back(), high);
}

TEST_F(Telegrams, RetriesAfterNak) {
    sim->nakNextFrames(2);
    EXPECT_EQ(send("0S"), 0);
    EXPECT_EQ(sim->stats().naksSent, 2u);
    EXPECT_EQ(sim->stats().framesOk, 3u);

    // A NAK in the first attempt and silence afterwards: the NAK is what is reported.
    sim->clearLog();
    sim->nakThenSilence(1);
    EXPECT_EQ(send("0S"), 21);
    EXPECT_EQ(sim->stats().naksSent, 1u);
    EXPECT_EQ(sim->stats().framesOk, 3u);  // three attempts were made
}

TEST_F(Telegrams, SilenceGivesSixAfterThreeAttempts) {
    sim->setSilent(true);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(send("$"), 6);
    long long ms = msSince(t0);
    EXPECT_GE(ms, 700);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(sim->stats().framesOk, 3u);
    EXPECT_EQ(sim->stats().acksSent, 0u);
    // The answer export gives up with the send and returns the empty string.
    EXPECT_EQ(query("$"), "");
    EXPECT_EQ(sim->stats().framesOk, 6u);
}

TEST_F(Telegrams, WrongChecksumIsNakedAndThePreviousAnswerStays) {
    sim->sendRaw(rafusim::frameText("first"));
    ASSERT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 1; }));
    std::vector<uint8_t> bad = rafusim::frameText("second");
    bad.back() ^= 0x01;
    sim->sendRaw(bad);
    ASSERT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 2; }));
    EXPECT_EQ(sim->rawReceived(), (std::vector<uint8_t>{ACK, NAK}));
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "first");
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "");
}

TEST_F(Telegrams, OnlyTheLastOfTwoUntakenAnswersComes) {
    std::vector<uint8_t> both = rafusim::frameText("one");
    std::vector<uint8_t> two = rafusim::frameText("two");
    both.insert(both.end(), two.begin(), two.end());
    sim->sendRaw(both);
    ASSERT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 2; }));
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "two");
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "");
}

TEST_F(Telegrams, ControlByteBetweenEtxAndChecksum) {
    sim->setReply("?", "answer");
    sim->controlByteBeforeChecksum(ACK);
    const size_t acked = sim->stats().replyAcks;
    EXPECT_EQ(query("?"), "answer");
    ASSERT_TRUE(waitUntil([&] { return sim->stats().replyAcks > acked; }));
    // The same by hand with an ESC, which must not be taken for the checksum.
    std::vector<uint8_t> f = rafusim::frameText("late");
    f.insert(f.end() - 1, rafusim::ESC);
    sim->clearLog();
    sim->sendRaw(f);
    // The telegram is acknowledged on the wire and its answer waits in the slot.
    EXPECT_TRUE(waitUntil([&] { return !sim->rawReceived().empty(); }));
    EXPECT_EQ(sim->rawReceived(), (std::vector<uint8_t>{ACK}));
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "late");
}

TEST_F(Telegrams, BlockInsideAnUnfinishedTelegram) {
    // STX "ab", then a short block, then "cd" ETX: "ab" is lost, "cd" is the payload.
    std::vector<uint8_t> raw = {STX, 'a', 'b'};
    std::vector<uint8_t> blk = rafusim::frameBlock({'x', 'y'}, 64);
    raw.insert(raw.end(), blk.begin(), blk.end());
    std::vector<uint8_t> tail = {'c', 'd', ETX, rafusim::textChecksum("cd")};
    raw.insert(raw.end(), tail.begin(), tail.end());
    // And a full block inside a second telegram.
    std::vector<uint8_t> data64(64);
    for (int i = 0; i < 64; ++i) data64[i] = static_cast<uint8_t>(0x80 + i);
    std::vector<uint8_t> raw2 = {STX, 'q'};
    std::vector<uint8_t> full = rafusim::frameBlock(data64, 64);
    raw2.insert(raw2.end(), full.begin(), full.end());
    std::vector<uint8_t> tail2 = {'z', ETX, rafusim::textChecksum("z")};
    raw2.insert(raw2.end(), tail2.begin(), tail2.end());

    sim->sendRaw(raw);
    ASSERT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 2; }));  // block and telegram
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "cd");
    sim->sendRaw(raw2);
    ASSERT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 4; }));
    EXPECT_EQ(take(VlCOMTelegramEmpfang()), "z");
    std::string bin;
    waitUntil([&] {
        bin += take(asGetRxBinBuf());
        return bin.size() >= 66;
    });
    EXPECT_EQ(bin, "xy" + str(data64));
    EXPECT_TRUE(waitUntil([&] { return sim->rawReceived().size() >= 4; }));
    EXPECT_EQ(sim->rawReceived(), (std::vector<uint8_t>{ACK, ACK, ACK, ACK}));
}

TEST_F(Telegrams, AnswerWaitFollowsTheBaudRate) {
    sim->setReply("W", "");  // acknowledge only: the wait runs out
    VlCOMClosePort();
    ASSERT_EQ(openPort(9600), 64);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(query("W"), "");
    long long slow = msSince(t0);
    EXPECT_GE(slow, vlcom::answerRounds(9600));  // rounds that each sleep 1 ms on this clock
    EXPECT_LT(slow, 2000);
    // An unanswered query after an unanswered one costs no more than the query itself.
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(query("W"), "");
    EXPECT_LT(msSince(t0), slow + vlcom::kAttemptMs);
    // A reply 40 ms late still comes at 9600. The library takes a reply in before its ACK
    // reaches the simulator: an ACK seen within the rounds since the query started must mean
    // an answer. A round whose reply came later (a thread's turn came late) says nothing.
    sim->setReply("L", "late");
    sim->setReplyDelayMs(40);
    for (int round = 0; round < 5; ++round) {
        const size_t acked = sim->stats().replyAcks;
        t0 = std::chrono::steady_clock::now();
        auto answer = std::async(std::launch::async, [&] { return query("L"); });
        ASSERT_TRUE(sim->waitFor([&] { return sim->stats().replyAcks > acked; }, 10000));
        const long long takenBy = msSince(t0);
        const std::string got = answer.get();
        if (takenBy < vlcom::answerRounds(9600)) {
            EXPECT_EQ(got, "late");
            break;
        }
        if (got.empty()) {
            EXPECT_EQ(take(VlCOMTelegramEmpfang()), "late");  // it came after the wait
        }
    }

    // The block size is asked at the slower rate; the waits below follow the rate chosen last.
    VlCOMClosePort();
    sim->setReplyDelayMs(0);
    ASSERT_EQ(openPort(), 64);
    select("COM5", 921600);
    SysFreeString(VlCOMTelegramEmpfang());
    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(query("W"), "");
    long long fast = msSince(t0);
    EXPECT_LT(fast, slow);
    // At 921600 the wait is 6 rounds: a reply 150 ms late does not come.
    sim->setReplyDelayMs(150);
    EXPECT_EQ(query("L"), "");
    // The late reply lands afterwards and is what the next wait returns.
    EXPECT_TRUE(waitUntil([&] { return take(VlCOMTelegramEmpfang()) == "late"; }, 10000));
    // A late reply never passes as the next telegram's answer, in its wait or after it.
    EXPECT_EQ(query("L"), "");
    sim->setReply("N", "next");
    sim->setReplyDelayMs(40);
    const std::string next = query("N");
    EXPECT_TRUE(next == "next" ||
                (next.empty() && waitUntil([&] { return take(VlCOMTelegramEmpfang()) == "next"; }, 10000)))
        << next;
    sim->setReplyDelayMs(0);
}

TEST_F(Telegrams, LateAndUnfetchedAnswersAreNeverALaterTelegrams) {
    // Answers from here on come apart from their acknowledge; one that comes after the wait
    // is fetched afterwards.
    auto ownAnswer = [&](const std::string& q, const std::string& a) {
        const std::string r = query(q);
        EXPECT_TRUE(r == a || (r.empty() && waitUntil([&] { return take(VlCOMTelegramEmpfang()) == a; })))
            << q << " got " << r;
    };
    // An answer more than a second after its wait ended (a device that stretches the clock):
    // the adapter answers it before it takes the next telegram.
    sim->setReply("L", "late");
    sim->setReplyDelayMs(vlcom::answerRounds(kSlackBaud) + 1100);
    EXPECT_EQ(query("L"), "");
    sim->setReplyDelayMs(30);
    EXPECT_NE(query("$"), "late");
    // Once the adapter has caught up, the answers still in the slot are earlier telegrams'.
    ASSERT_TRUE(sim->waitFor(
        [&] {
            const auto t = sim->receivedTelegrams();
            const size_t asked = std::count(t.begin(), t.end(), "$");
            return asked > 0 && sim->stats().replyAcks >= 1 + asked;
        },
        10000));
    ownAnswer("#", "#RA0512345678");

    // The answer to a telegram of the separate send, never fetched, arriving while the next
    // query waits for its acknowledge.
    sim->setReply("A", "first");
    EXPECT_EQ(send("A"), 0);
    ownAnswer("#", "#RA0512345678");
    sim->setReplyDelayMs(0);
}

TEST_F(Telegrams, TwoThreadsEachGetTheirOwnAnswers) {
    constexpr int kRounds = 50;
    std::atomic<int> wrong{0}, badOpens{0};
    auto asker = [&](const std::string& q, const std::string& a) {
        for (int i = 0; i < kRounds; ++i) wrong += query(q) != a;
    };
    std::thread other(asker, "#", "#RA0512345678");
    // An open on a third thread while the others send only asks the block size again.
    std::thread opener([&] {
        for (int i = 0; i < kRounds / 5; ++i) badOpens += VlCOMOpenPort() != 64;
    });
    asker("$", "$RAFU I2C-Analyzer V1.20");
    other.join();
    opener.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(badOpens, 0);
}
