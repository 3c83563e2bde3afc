// Base of the tests against the adapter simulator: a fresh port folder that the link
// library looks in (VLCOM_PORT_DIR), the simulator on a real pty in it, and a device root of
// the test's own (VLCOM_DEV_ROOT), so that a port name without a link reaches no device.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "devroot.h"
#include "rafusim.h"
#include "serialport.h"

namespace kevosupport {

class SimPortTest : public ::testing::Test {
  protected:
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

    // A fresh folder /tmp/<prefix>-XXXXXX, removed again by removePortDir().
    void makePortDir(const std::string& prefix) {
        std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        usePortDir(tmpl);
    }

    void startSim(rafusim::Simulator::Options o) {
        o.portDir = portDir;
        sim = std::make_unique<rafusim::Simulator>(o);
        ASSERT_TRUE(sim->start()) << sim->lastError();
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
