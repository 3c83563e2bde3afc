// The command link against the adapter simulator over a real pty: the nesting count,
// failed opens, replies and failures, OfflineMode and the OLE strings at the boundary.
#include <atomic>
#include <thread>
#include <vector>

#include "test_adapter_fixture.h"

using namespace adaptertest;

namespace {

class CommandLink : public AdapterTest {};

TEST_F(CommandLink, NestedOpenKeepsThePortUntilTheLastClose) {
    ASSERT_TRUE(ComOpen());
    ASSERT_TRUE(ComOpen());
    EXPECT_EQ(LinkOpenCount, 2);
    EXPECT_EQ(countReceived("%"), 1u);  // the library was opened once
    EXPECT_TRUE(portHeld());

    ComClose();
    EXPECT_EQ(LinkOpenCount, 1);
    EXPECT_TRUE(portHeld());
    EXPECT_EQ(ComQuery("$"), "$RAFU I2C-Analyzer V1.20");

    ComClose();
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_FALSE(portHeld());
}

TEST_F(CommandLink, OpenWithoutBlockSizeIsClosedAtOnce) {
    sim->setBlockSizeReply("x");  // one character, no digits: the library answers 1
    EXPECT_FALSE(ComOpen());
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_FALSE(portHeld());

    // Same for an adapter that does not answer at all.
    sim->setBlockSizeReply("");
    sim->setSilent(true);
    EXPECT_FALSE(ComOpen());
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_FALSE(portHeld());

    sim->setSilent(false);
    EXPECT_TRUE(ComOpen());
    EXPECT_EQ(LinkOpenCount, 1);
}

TEST_F(CommandLink, OpenFailsWithoutPort) {
    EXPECT_EQ(select(absentPort("COM12")), 0);
    EXPECT_FALSE(ComOpen());
    EXPECT_EQ(LinkOpenCount, 0);
    ComClose();  // harmless on a closed link
    EXPECT_EQ(LinkOpenCount, 0);
}

TEST_F(CommandLink, CloseAtZeroStillClosesThePort) {
    ASSERT_GE(VlCOMOpenPort(), 2);  // opened past the link, count 0
    ASSERT_TRUE(portHeld());
    ComClose();
    EXPECT_EQ(LinkOpenCount, 0);
    EXPECT_FALSE(portHeld());
}

TEST_F(CommandLink, QueryAndSend) {
    ASSERT_TRUE(ComOpen());
    EXPECT_EQ(ComQuery("#"), "#RA0512345678");
    EXPECT_EQ(ComSend("10"), 0);
    EXPECT_EQ(countReceived("10"), 1u);

    // An empty command still goes out as an (empty) frame: STX ETX and checksum 0x55.
    sim->clearLog();
    ComSend("");
    const auto raw = sim->rawReceived();
    const std::vector<uint8_t> frame{rafusim::STX, rafusim::ETX, 0x55};
    EXPECT_NE(std::search(raw.begin(), raw.end(), frame.begin(), frame.end()), raw.end());
    ComClose();
}

TEST_F(CommandLink, FailedExchangesGiveEmptyReplyAndCodes) {
    ASSERT_TRUE(ComOpen());
    sim->nakNextFrames(3);
    EXPECT_EQ(ComSend("10"), 21);
    sim->nakNextFrames(3);
    EXPECT_EQ(ComQuery("$"), "");

    sim->ignoreNextFrames(3);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ComSend("10"), 6);
    sim->ignoreNextFrames(3);
    EXPECT_EQ(ComQuery("$"), "");
    // Three attempts of at most 255 ms each, twice; generous for a loaded machine.
    EXPECT_LT(msSince(t0), 6000);

    sim->setReply("$", "");  // acknowledged, no answer
    EXPECT_EQ(ComQuery("$"), "");
    sim->clearReplies();

    sim->cutNextReply();  // half a reply and no end
    EXPECT_EQ(ComQuery("$"), "");
    EXPECT_EQ(ComQuery("$"), "$RAFU I2C-Analyzer V1.20");  // the next one is whole again
    ComClose();

    // A closed link sends nothing the adapter could answer.
    EXPECT_EQ(ComSend("10"), 6);
    EXPECT_EQ(ComQuery("$"), "");
}

TEST_F(CommandLink, AGonePortIsNotedByAQueryAndByASend) {
    for (bool byQuery : {true, false}) {
        SCOPED_TRACE(byQuery ? "query" : "send");
        ASSERT_TRUE(sim->start());
        ASSERT_TRUE(ComOpen());
        EXPECT_FALSE(ComPortGone());
        sim->vanish();
        if (byQuery)
            EXPECT_EQ(ComQuery("$"), "");
        else
            EXPECT_EQ(ComSend("10"), VLCOM_PORT_GONE);
        EXPECT_TRUE(ComPortGone());
        ComClose();
    }
}

TEST_F(CommandLink, OfflineModeSendsNothing) {
    OfflineMode = true;
    ASSERT_TRUE(ComOpen());  // opening still works
    sim->clearLog();
    EXPECT_EQ(ComQuery("$"), "");
    EXPECT_EQ(ComSend("10"), 0);
    EXPECT_TRUE(sim->rawReceived().empty());
    ComClose();
    EXPECT_FALSE(portHeld());
}

TEST_F(CommandLink, NoOleStringOutlivesACall) {
    const long live = OleStrLiveCount();
    ASSERT_TRUE(ComOpen());
    EXPECT_EQ(ComQuery("$"), "$RAFU I2C-Analyzer V1.20");
    ComQuery("");
    EXPECT_EQ(ComSend("10"), 0);
    ComSend("");
    sim->nakNextFrames(3);
    EXPECT_EQ(ComQuery("#"), "");
    sim->setReply("$", "");
    EXPECT_EQ(ComQuery("$"), "");
    OfflineMode = true;
    EXPECT_EQ(ComQuery("$"), "");
    EXPECT_EQ(ComSend("10"), 0);
    OfflineMode = false;
    ComClose();
    EXPECT_EQ(OleStrLiveCount(), live);
}

TEST_F(CommandLink, CaptureThreadSendsBetweenQueries) {
    // The capture thread's telegrams and the GUI thread's exchanges share the library's
    // one-value reply slots: neither may take the other's acknowledge or answer, and no
    // telegram may go out twice because its acknowledge was taken by the other thread.
    ASSERT_TRUE(ComOpen());
    sim->clearLog();
    constexpr int kRounds = 100;
    std::atomic<int> sendFailures{0};
    std::thread capture([&] {
        for (int i = 0; i < kRounds; ++i)
            if (ComSend("10") != 0) ++sendFailures;
    });
    int wrong = 0;
    for (int i = 0; i < kRounds; ++i)
        if (ComQuery("#") != "#RA0512345678") ++wrong;
    capture.join();
    EXPECT_EQ(sendFailures, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(countReceived("10"), size_t(kRounds));
    EXPECT_EQ(countReceived("#"), size_t(kRounds));
    ComClose();
}

}  // namespace
