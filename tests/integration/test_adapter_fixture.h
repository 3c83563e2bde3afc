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
#include "simport.h"
#include "vl-com.h"
#include "vlcom.h"
#include "wait.h"

namespace adaptertest {

using kevosupport::msSince;

class AdapterTest : public kevosupport::SimPortTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(makePortDir("adapter-it"));
        ASSERT_NO_FATAL_FAILURE(startSim("COM3"));
        LinkOpenCount = 0;
        OfflineMode = false;
        DeviceInfo = TDeviceInfo();
        resetProjectSettings();
        // A box no test scripted would wait for a click forever: it fails the test instead.
        dialogs::setResponder([](const dialogs::Request& r) {
            ADD_FAILURE() << "unexpected box: " << r.text;
            return dialogs::Response{dialogs::mrIgnore, {}};
        });
        ASSERT_EQ(select("COM3"), 1);
    }

    void TearDown() override {
        dialogs::setResponder({});
        setMainWindowPosProvider({});
        VlCOMClosePort();
        LinkOpenCount = 0;
        OfflineMode = false;
        removePortDir();
    }

    static int32_t select(const std::string& port, int32_t baud = kSlackBaud) {
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

}  // namespace adaptertest
