// Choosing, testing, opening and closing the port, and the library's surface.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <cstdio>

#include "../unit/test_link_portholder.h"
#include "test_link_fixture.h"

using namespace linktest;

namespace {

class Port : public LinkTest {};

// A forked child has the simulator's thread only in its copied memory: the leak check at its
// exit cannot stop that thread and may report the buffers on its stack. The child's verdict is
// its exit code.
bool inChildProcess = false;

}  // namespace

extern "C" int __lsan_is_turned_off() {
    return inChildProcess ? 1 : 0;
}

namespace {

int countQueries(rafusim::Simulator& s) {
    int n = 0;
    for (const std::string& t : s.receivedTelegrams()) n += (t == "%");
    return n;
}

}  // namespace

TEST(LinkLibrary, ExportsExactlyItsInterface) {
    std::string v = take(VlCOMVersion());
    // The rights notice follows the version tag directly, without a blank.
    EXPECT_EQ(v.rfind("VL-COM[1.00]Copyright", 0), 0u);
    EXPECT_EQ(v.find('\n'), std::string::npos);

    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&VlCOMVersion), &info), 0);
    std::string cmd = std::string("nm -D --defined-only '") + info.dli_fname + "'";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> names;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        std::string l(line);
        size_t sp = l.find_last_of(' ');
        std::string name = l.substr(sp + 1);
        if (!name.empty() && name.back() == '\n') name.pop_back();
        names.insert(name);
    }
    pclose(p);
    const std::set<std::string> all = {"VlCOMVersion",         "VlCOMPortSetup",  "VlCOMPortSel",
                                       "VlCOMOpenPort",        "VlCOMClosePort",  "VlCOMSendTelegram",
                                       "VlCOMSendBIN",         "VlCOMQuitTxBin",  "VlCOMTelegramEmpfang",
                                       "VlCOMAntwortTelegram", "VlCOMBinEmpfang", "asGetRxBinBuf",
                                       "VlCOMQuitRxBin"};
    for (const std::string& n : names) EXPECT_TRUE(all.count(n)) << "extra export " << n;
    for (const std::string& n : all) EXPECT_TRUE(names.count(n)) << "missing export " << n;
}

TEST_F(Port, SelectTestsThePortWithoutKeepingIt) {
    EXPECT_EQ(select("COM5"), 1);
    EXPECT_EQ(select("COM5"), 1);  // the test open left nothing behind
    EXPECT_EQ(select(""), 0);
    EXPECT_EQ(select("COM14"), 0);
    EXPECT_EQ(select("../../etc/passwd"), 0);
    EXPECT_EQ(VlCOMPortSel(nullptr, nullptr), 0);

    std::string file = portDir + "/plain.bin";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("not a port", f);
    fclose(f);
    ASSERT_EQ(symlink(file.c_str(), (portDir + "/COM9").c_str()), 0);
    EXPECT_EQ(select("COM9"), 0);
    EXPECT_EQ(VlCOMOpenPort(), 0);  // the last selection is what an open tries

    // While the library holds the port, the test fails; afterwards it succeeds again.
    ASSERT_EQ(openPort(), 64);
    EXPECT_EQ(select("COM5"), 0);
    VlCOMClosePort();
    EXPECT_EQ(select("COM5"), 1);

    // Another process holds it.
    OtherProcessHoldsPort other(sim->slavePath());
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(select("COM5"), 0);
    EXPECT_EQ(VlCOMOpenPort(), 0);
    other.release();
    EXPECT_EQ(select("COM5"), 1);
}

TEST_F(Port, OpenAsksTheBlockSize) {
    EXPECT_EQ(openPort(), 64);
    EXPECT_EQ(countQueries(*sim), 1);
    // A second open while open only asks again.
    sim->setBlockSize(32);
    EXPECT_EQ(VlCOMOpenPort(), 32);
    EXPECT_EQ(countQueries(*sim), 2);
    sim->setBlockSizeReply("x");
    EXPECT_EQ(VlCOMOpenPort(), 0);  // while open, no block size gives 0, not 1
    VlCOMClosePort();

    sim->setBlockSizeReply("x");
    EXPECT_EQ(openPort(), 1);  // open, but no block size
    VlCOMClosePort();
    VlCOMClosePort();  // closing twice is harmless

    sim->setBlockSizeReply("");
    sim->setSilent(true);
    EXPECT_EQ(openPort(), 1);  // nobody answers
    VlCOMClosePort();
}

TEST_F(Port, CloseEndsTheThreadAndReopenStartsANewOne) {
    std::set<int> before = taskIds();
    ASSERT_EQ(openPort(), 64);
    std::set<int> during = taskIds();
    ASSERT_EQ(during.size(), before.size() + 1);
    auto t0 = std::chrono::steady_clock::now();
    VlCOMClosePort();
    EXPECT_LT(msSince(t0), 200);  // the line is quiet: the thread ends at once
    EXPECT_TRUE(waitUntil([&] { return taskIds().size() == before.size(); }, 1000));

    ASSERT_EQ(openPort(), 64);
    std::set<int> again = taskIds();
    EXPECT_EQ(again.size(), before.size() + 1);
    EXPECT_NE(again, during);  // a new receive thread
    EXPECT_EQ(countQueries(*sim), 2);
    EXPECT_EQ(send("x"), 0);  // and it works
}

TEST_F(Port, ProcessMayEndWithThePortOpen) {
    // A child that opens the port and exits without closing it ends normally; the
    // adapter simulator of this process answers its block-size query.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        inChildProcess = true;
        select();
        exit(VlCOMOpenPort() == 64 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(select("COM5"), 1);  // and the port was given back
}

TEST_F(Port, CloseOnABusyLineStillReturns) {
    ASSERT_EQ(openPort(), 64);
    rafusim::TrafficOptions t;
    t.bytesPerSecond = 92160;
    sim->setCaptureTraffic(t);
    sim->startCapture();
    ASSERT_TRUE(waitUntil([&] { return sim->captureBytesSent() > 2000; }));
    auto t0 = std::chrono::steady_clock::now();
    VlCOMClosePort();
    EXPECT_LT(msSince(t0), 3000);
    sim->stopCapture();
    EXPECT_EQ(select("COM5"), 1);  // the port is really closed
    // Blocks the closed port left unanswered come again first and hold back the
    // block-size answer; once they are taken, a repeated query gets it.
    ASSERT_GE(openPort(), 1);
    ASSERT_TRUE(sim->waitCaptureIdle(60000));  // up to the adapter's 64 KB backlog, block by block
    EXPECT_EQ(openPort(), 64);
}

TEST_F(Port, AFrameLeftInTheInputIsNoAnswerToTheOpen) {
    // A late answer that came while the port was closed, and a block size that comes apart
    // from its acknowledge.
    sim->sendRaw(rafusim::frameText("x01"));
    sim->setReplyDelayMs(20);
    EXPECT_EQ(openPort(), 64);
    // The frame was dropped unread: the only telegram acknowledged is the block-size answer.
    EXPECT_EQ(send("x"), 0);
    EXPECT_EQ(sim->stats().replyAcks, 1u);
}

TEST_F(Port, AStalledWriteFailsTheSendAndThePortStays) {
    ASSERT_EQ(openPort(), 64);
    sim->pauseReading(true);  // an adapter that reads slowly: the line's queues fill up
    EXPECT_EQ(send(std::string(1 << 20, 'a')), 6);
    sim->pauseReading(false);
    EXPECT_EQ(send("x"), 0);
}

TEST_F(Port, VanishedPortFailsQuietly) {
    ASSERT_EQ(openPort(), 64);
    sim->vanish();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(send("x"), VLCOM_PORT_GONE);
    EXPECT_EQ(query("$"), "");
    EXPECT_EQ(take(asGetRxBinBuf()), "");
    BSTR data = make(std::string(100, 'd'));
    EXPECT_NE(VlCOMSendBIN(&data), 0);
    SysFreeString(data);
    int32_t n = 10;
    EXPECT_EQ(take(VlCOMBinEmpfang(&n)), "");
    VlCOMQuitRxBin();
    EXPECT_LT(msSince(t0), 10000);
    VlCOMClosePort();
    EXPECT_EQ(select("COM5"), 0);
    EXPECT_EQ(VlCOMOpenPort(), 0);
    VlCOMClosePort();
}
