// Base of the tests against the adapter simulator: a fresh port folder that the link
// library looks in (VLCOM_PORT_DIR), the simulator on a real pty in it, and a device root of
// the test's own (VLCOM_DEV_ROOT), so that a port name without a link reaches no device.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "devroot.h"
#include "rafusim.h"
#include "serialport.h"
#include "vl-com.h"

namespace kevosupport {

class SimPortTest : public ::testing::Test {
  protected:
    // The rate the linked tests choose where they do not test the answer wait itself. On a pty
    // it changes nothing on the wire, but the library then waits up to 109 one-millisecond
    // rounds for an answer (6 at 921,600 baud), so a loaded machine does not turn a late reply
    // of the simulator into a missing one.
    static constexpr int32_t kSlackBaud = 9600;
    // A reply delay that makes an answer late at kSlackBaud even when the wait's rounds run long,
    // and still short of the send's attempts, so that the next telegram, which the adapter takes
    // only after that answer, is still acknowledged.
    static constexpr int kLateReplyMs = 600;

    PrivateDevRoot devRoot;
    std::string portDir;
    std::unique_ptr<rafusim::Simulator> sim;

    // A port name that stands for no device: it has no link in the port folder, so it maps
    // into the test's own device root, where nothing exists.
    std::string absentPort(const std::string& name) const {
        const std::string root = devRoot.path() + "/";
        EXPECT_EQ(serial::devicePath(name).substr(0, root.size()), root) << name;
        return name;
    }

    // Points the library at an existing folder.
    void usePortDir(const std::string& path) {
        portDir = path;
        setenv("VLCOM_PORT_DIR", portDir.c_str(), 1);
    }

    // A fresh folder <temp>/<prefix>-XXXXXX, removed again by removePortDir().
    void makePortDir(const std::string& prefix) {
        std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        usePortDir(tmpl);
    }

    void startSim(rafusim::Simulator::Options o) {
        o.portDir = portDir;
        sim = std::make_unique<rafusim::Simulator>(o);
        ASSERT_TRUE(sim->start()) << "the adapter simulator did not start: " << sim->lastError();
        ASSERT_NO_FATAL_FAILURE(expectBlockSizeAnswered());
    }

    // Set-up check: the library opens the simulator's port and gets its block size. Without
    // that no linked test can run, so it fails here with the reason instead of in a later wait.
    void expectBlockSizeAnswered() {
        const std::string name = sim->portName();
        BSTR port = SysAllocStringByteLen(name.data(), static_cast<uint32_t>(name.size()));
        int32_t baud = kSlackBaud;
        const int32_t usable = VlCOMPortSel(&port, &baud);
        SysFreeString(port);
        const int32_t opened = usable ? VlCOMOpenPort() : 0;
        VlCOMClosePort();
        ASSERT_EQ(usable, 1) << "the library cannot open the simulator's port " << sim->linkPath();
        ASSERT_EQ(opened, sim->blockSize()) << "the port opens without its block size";
        // The library's ACK of the reply is on the wire before the close returns; let it reach
        // the simulator, so that the test starts with empty logs.
        ASSERT_TRUE(sim->waitFor([&] { return sim->stats().replyAcks > 0; }, 10000))
            << "no ACK of the block size";
        sim->clearLog();
    }

    void startSim(const std::string& portName) {
        rafusim::Simulator::Options o;
        o.portName = portName;
        startSim(o);
    }

    // Ends the simulator and deletes the folder made by makePortDir().
    void removePortDir() {
        sim.reset();
        const std::string cmd = "rm -rf '" + portDir + "'";
        EXPECT_EQ(system(cmd.c_str()), 0);
    }
};

}  // namespace kevosupport
