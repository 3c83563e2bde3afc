// The simulator's wire side: frames, checksums, ACK/NAK, scripted replies and faults,
// checked byte by byte from a plain POSIX client on the pty.
#include <sys/stat.h>

#include <cstdlib>

#include "test_sim_port.h"

using namespace rafusim;
using simtest::Client;
using Wire = simtest::SimFixture;

TEST(SimChecksum, TextAndBlockRules) {
    EXPECT_EQ(textChecksum("%"), 0x70);
    EXPECT_EQ(textChecksum("\x45"), 0xEF);  // 0x10 is inverted
    EXPECT_EQ(frameText("%"), (std::vector<uint8_t>{STX, 0x25, ETX, 0x70}));
    EXPECT_EQ(blockChecksum(nullptr, 0), 0xAA);
    const uint8_t d[] = {0xAA, 0x01};
    EXPECT_EQ(blockChecksum(d, 2), 0x01);  // no inversion below 0x20
    EXPECT_EQ(frameBlock({1, 2}, 2), (std::vector<uint8_t>{ENQ, 1, 2, 0xAA ^ 1 ^ 2}));
    EXPECT_EQ(frameBlock({1, 2}, 64), (std::vector<uint8_t>{EOT, 2, 1, 2, 0xAA ^ 1 ^ 2}));
}

TEST(SimPort, LinkFollowsLifetimeAndEnvironment) {
    std::string base = simtest::makeTempDir();
    std::string dir = base + "/nested/ports";
    ::setenv("VLCOM_PORT_DIR", dir.c_str(), 1);
    std::string link;
    {
        Simulator::Options o;
        o.portName = "COM7";
        Simulator sim(o);
        ASSERT_TRUE(sim.start()) << sim.lastError();
        link = sim.linkPath();
        EXPECT_EQ(link, dir + "/COM7");
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.slavePath());
        sim.stop();
        struct stat st {};
        EXPECT_NE(::lstat(link.c_str(), &st), 0) << "stop removes the link";
        ASSERT_TRUE(sim.start());  // a stopped simulator starts again
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "destruction removes the link";
    ::unsetenv("VLCOM_PORT_DIR");
    ::rmdir(dir.c_str());
    ::rmdir((base + "/nested").c_str());
    ::rmdir(base.c_str());
}

TEST_F(Wire, AnswersEveryFrameWithAckThenReply) {
    Client c(sim.linkPath());
    ASSERT_TRUE(c.ok());
    uint8_t ack = 0;
    EXPECT_EQ(c.query("%", &ack), "x40");
    EXPECT_EQ(ack, ACK);
    sim.setBlockSize(32);
    EXPECT_EQ(c.query("%"), "x20");
    sim.setBlockSizeReply("x");
    EXPECT_EQ(c.query("%"), "x");
    // unknown telegrams are acknowledged without reply
    c.sendText("ZZ");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_TRUE(c.quiet(50));
    EXPECT_EQ(sim.receivedTelegrams(), (std::vector<std::string>{"%", "%", "%", "ZZ"}));
}

TEST_F(Wire, WrongChecksumGetsNakAndIsNotExecuted) {
    Client c(sim.linkPath());
    c.write({STX, '%', ETX, 0x71});
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{NAK});
    EXPECT_TRUE(c.quiet(50));
    EXPECT_TRUE(sim.receivedTelegrams().empty());
    EXPECT_EQ(sim.stats().framesBadChecksum, 1u);
    // A control byte between ETX and checksum does not break the frame.
    c.write({STX, '%', ETX, ACK, 0x70});
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_EQ(c.readFrame(), "x40");
}

TEST_F(Wire, ScriptedRepliesAndHandler) {
    Client c(sim.linkPath());
    sim.setReply("$", "$Sonder");
    sim.setReply("#", "");  // acknowledge only
    EXPECT_EQ(c.query("$"), "$Sonder");
    c.sendText("#");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    EXPECT_TRUE(c.quiet(50));
    sim.setReplyHandler([](const std::string& t) -> std::optional<std::string> {
        if (t == "$") return std::string("$H");
        return std::nullopt;
    });
    EXPECT_EQ(c.query("$"), "$H");
    EXPECT_EQ(c.query("%"), "x40");  // falls through to the catalogue
}

TEST_F(Wire, FaultsOnDemand) {
    Client c(sim.linkPath());
    sim.nakNextFrames(2);
    c.sendText("%");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{NAK});
    c.sendText("%");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{NAK});
    EXPECT_EQ(c.query("%"), "x40");

    sim.ignoreNextFrames(1);
    c.sendText("%");
    EXPECT_TRUE(c.quiet(80));
    EXPECT_EQ(c.query("%"), "x40");

    sim.wrongChecksumNext(1);
    c.sendText("%");
    auto f = c.read(7);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0], ACK);
    EXPECT_EQ(f[1], STX);
    EXPECT_EQ(f[5], ETX);
    EXPECT_NE(f[6], textChecksum("x40"));
    EXPECT_GE(f[6], 0x20);

    sim.cutNextReply();
    c.sendText("$");
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{ACK});
    auto cut = c.read(100, 100);
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(cut[0], STX);
    EXPECT_EQ(std::count(cut.begin(), cut.end(), ETX), 0);

    sim.controlByteBeforeChecksum(NAK);
    c.sendText("%");
    EXPECT_EQ(c.read(7), (std::vector<uint8_t>{ACK, STX, 'x', '4', '0', ETX, NAK}));
    EXPECT_EQ(c.read(1), std::vector<uint8_t>{textChecksum("x40")});

    sim.setSilent(true);
    c.sendText("%");
    EXPECT_TRUE(c.quiet(80));
    sim.setSilent(false);

    sim.setReplyDelayMs(150);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(c.query("%"), "x40");
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
}

TEST_F(Wire, EveryByteValuePassesBothWays) {
    Client c(sim.linkPath());
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(i);
    sim.sendRaw(all);
    EXPECT_EQ(c.read(256), all);
    c.write(all);
    ASSERT_TRUE(sim.waitForRaw(256, 2000));
    EXPECT_EQ(sim.rawReceived(), all);
}

TEST_F(Wire, VanishedPortHangsUpTheClient) {
    Client c(sim.linkPath());
    std::string link = sim.linkPath();
    sim.vanish();
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
    EXPECT_FALSE(sim.running());
    EXPECT_TRUE(c.read(1, 100).empty());
}

TEST_F(Wire, HandlerMayEndTheSimulator) {
    Client c(sim.linkPath());
    std::string link = sim.linkPath();
    sim.setReplyHandler([this](const std::string& t) -> std::optional<std::string> {
        if (t == "weg") sim.vanish();
        return std::nullopt;
    });
    c.sendText("weg");
    ASSERT_TRUE(sim.waitFor([&] { return !sim.running(); }, 2000));
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
    ASSERT_TRUE(sim.start()) << "starts again after ending itself";
    Client c2(sim.linkPath());
    EXPECT_EQ(c2.query("%"), "x40");
}
