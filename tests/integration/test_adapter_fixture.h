// Shared set-up of the command-link tests: a fresh port folder, the adapter simulator
// on COM3, the port chosen with VlCOMPortSel, and the link's process-wide state reset.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "deviceinfo.h"
#include "dialogseam.h"
#include "projectsettings.h"
#include "rafusim.h"
#include "vl-com.h"
#include "vlcom.h"

namespace adaptertest {

class AdapterTest : public ::testing::Test {
  protected:
    std::string dir;
    std::unique_ptr<rafusim::Simulator> sim;

    void SetUp() override {
        char tmpl[] = "/tmp/adapter-it-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("VLCOM_PORT_DIR", dir.c_str(), 1);
        rafusim::Simulator::Options o;
        o.portName = "COM3";
        o.portDir = dir;
        sim = std::make_unique<rafusim::Simulator>(o);
        ASSERT_TRUE(sim->start()) << sim->lastError();
        LinkOpenCount = 0;
        OfflineMode = false;
        DeviceInfo = TDeviceInfo();
        resetProjectSettings();
        ASSERT_EQ(select("COM3"), 1);
    }

    void TearDown() override {
        dialogs::setResponder({});
        setMainWindowPosProvider({});
        VlCOMClosePort();
        LinkOpenCount = 0;
        OfflineMode = false;
        sim.reset();
        std::string cmd = "rm -rf '" + dir + "'";
        EXPECT_EQ(system(cmd.c_str()), 0);
    }

    static int32_t select(const std::string& port, int32_t baud = 921600) {
        BSTR p = SysAllocStringByteLen(port.data(), static_cast<uint32_t>(port.size()));
        const int32_t r = VlCOMPortSel(&p, &baud);
        SysFreeString(p);
        return r;
    }

    // The library's test open fails while a handle (the link's) holds the port.
    bool portHeld() { return select("COM3") == 0; }

    size_t countReceived(const std::string& telegram) const {
        const auto t = sim->receivedTelegrams();
        return static_cast<size_t>(std::count(t.begin(), t.end(), telegram));
    }
};

inline long long msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
        .count();
}

}  // namespace adaptertest
