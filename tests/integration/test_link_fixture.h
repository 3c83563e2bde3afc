// Shared set-up of the link tests: a fresh port folder, the adapter simulator on
// COM5 and small helpers around the library's string conventions.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "rafusim.h"
#include "simport.h"
#include "tasks.h"
#include "vl-com.h"
#include "wait.h"

namespace linktest {

inline std::string take(BSTR b) {
    std::string s = b ? std::string(b, SysStringByteLen(b)) : std::string();
    SysFreeString(b);
    return s;
}

inline BSTR make(const std::string& s) {
    return SysAllocStringByteLen(s.data(), static_cast<uint32_t>(s.size()));
}

inline std::string str(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

using kevosupport::taskIds;

using kevosupport::msSince;
using kevosupport::waitUntil;

class LinkTest : public kevosupport::SimPortTest {
  protected:
    long liveStrings = 0;  // OLE strings alive before the test; the helpers free theirs

    virtual rafusim::Simulator::Options options() {
        rafusim::Simulator::Options o;
        o.portName = "COM5";
        return o;
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(makePortDir("link-it"));
        liveStrings = OleStrLiveCount();
        ASSERT_NO_FATAL_FAILURE(startSim(options()));
    }

    void TearDown() override {
        VlCOMClosePort();
        SysFreeString(asGetRxBinBuf());
        // Every string the library handed out was freed, and every caller string it
        // replaced was freed by the library.
        EXPECT_EQ(OleStrLiveCount(), liveStrings);
        removePortDir();
    }

    int32_t select(const std::string& port = "COM5", int32_t baud = kSlackBaud) {
        BSTR p = make(port);
        int32_t r = VlCOMPortSel(&p, &baud);
        SysFreeString(p);
        return r;
    }

    // Opens the port; waits until the library's answer to the block-size reply (one without
    // a usable size too) has reached the simulator, so that a test clearing the wire log next
    // starts clean.
    int32_t openPort(int32_t baud = kSlackBaud) {
        select("COM5", baud);
        const int32_t r = VlCOMOpenPort();
        waitUntil(
            [&] {
                const rafusim::Stats s = sim->stats();
                return s.replyAcks + s.replyNaks >= s.repliesSent;
            },
            10000);
        return r;
    }

    // Sends a telegram; returns the result and the frame the caller's string became.
    int32_t send(const std::string& payload, std::string* frame = nullptr) {
        BSTR p = make(payload);
        int32_t r = VlCOMSendTelegram(&p);
        std::string f = take(p);
        if (frame) *frame = f;
        return r;
    }

    std::string query(const std::string& payload) {
        BSTR p = make(payload);
        std::string a = take(VlCOMAntwortTelegram(&p));
        SysFreeString(p);
        return a;
    }
};

}  // namespace linktest
