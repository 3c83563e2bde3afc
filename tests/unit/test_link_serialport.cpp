// The serial port layer over real pseudo-terminals in a fresh port folder.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "accessdenied.h"
#include "envguard.h"
#include "serialport.h"
#include "test_link_portholder.h"

using serial::OpenResult;
using serial::SerialPort;

namespace {

struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        slave = ptsname(master);
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    // Reads from the master until n bytes came or the deadline passed.
    std::string readMaster(size_t n, int timeoutMs = 3000) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buf[4096];
                ssize_t k = ::read(master, buf, sizeof buf);
                if (k > 0) out.append(buf, k);
            }
        }
        return out;
    }
};

class SerialPortTest : public ::testing::Test {
  protected:
    const kevosupport::EnvGuard env_{"VLCOM_PORT_DIR", "VLCOM_DEV_ROOT"};  // put back after each test
    std::string dir;
    void SetUp() override {
        char tmpl[] = "/tmp/link-serial-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("VLCOM_PORT_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    void linkPort(const std::string& name, const std::string& target) {
        ASSERT_EQ(symlink(target.c_str(), (dir + "/" + name).c_str()), 0);
    }
};

}  // namespace

TEST_F(SerialPortTest, PortNamesMapThroughThePortFolder) {
    EXPECT_EQ(serial::portDirectory(), dir);
    linkPort("COM7", "/dev/null");
    EXPECT_EQ(serial::devicePath("COM7"), dir + "/COM7");
    EXPECT_EQ(serial::devicePath("com7"), dir + "/COM7");
    unsetenv("VLCOM_DEV_ROOT");  // the fixed devices themselves
    EXPECT_EQ(serial::devicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(serial::devicePath(""), "");
    EXPECT_EQ(serial::devicePath("../COM7"), "");
    EXPECT_EQ(serial::devicePath(std::string("COM7\0x", 6)), "");
    EXPECT_EQ(serial::probePort("COM15"), OpenResult::NoSuchPort);

    unsetenv("VLCOM_PORT_DIR");
    const kevosupport::EnvGuard env{"HOME", "XDG_CONFIG_HOME"};  // put back for later tests
    setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
    EXPECT_EQ(serial::portDirectory(), "/x/cfg/vl-com/ports");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/x/home", 1);
    EXPECT_EQ(serial::portDirectory(), "/x/home/.config/vl-com/ports");
}

// Without a link the fixed devices stand for the names; a pty under a device name in a root
// of the test's own plays the USB adapter.
TEST_F(SerialPortTest, NamesWithoutALinkAreTheFixedDevicesAndALinkWins) {
    const std::string root = dir + "/root";
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/dev").c_str(), 0755), 0);
    setenv("VLCOM_DEV_ROOT", root.c_str(), 1);
    const struct {
        const char* name;
        const char* device;
    } kFixed[] = {
        {"COM1", "/dev/ttyS0"},   {"COM4", "/dev/ttyS3"},   {"com5", "/dev/ttyUSB0"},
        {"COM8", "/dev/ttyUSB3"}, {"COM9", "/dev/ttyACM0"}, {"COM12", "/dev/ttyACM3"},
        {"COM13", nullptr},       {"COM15", nullptr},       {"COM0", nullptr},
        {"ttyUSB0", nullptr},
    };
    for (const auto& f : kFixed)
        EXPECT_EQ(serial::devicePath(f.name), f.device ? root + f.device : std::string()) << f.name;

    Pty usb, acm, other;
    ASSERT_EQ(symlink(usb.slave.c_str(), (root + "/dev/ttyUSB0").c_str()), 0);
    ASSERT_EQ(symlink(acm.slave.c_str(), (root + "/dev/ttyACM0").c_str()), 0);
    ASSERT_EQ(symlink(other.slave.c_str(), (root + "/dev/ttyUSB1").c_str()), 0);
    EXPECT_EQ(serial::probePort("COM5"), OpenResult::Ok);
    EXPECT_EQ(serial::probePort("COM9"), OpenResult::Ok);
    EXPECT_EQ(serial::probePort("COM7"), OpenResult::NoSuchPort);  // no ttyUSB2
    {
        SerialPort held;
        ASSERT_EQ(held.open("COM9"), OpenResult::Ok);
        EXPECT_EQ(serial::probePort("COM9"), OpenResult::InUse);
    }

    // A link overrides the fixed device, whatever it leads to.
    linkPort("COM5", other.slave);
    EXPECT_EQ(serial::devicePath("COM5"), dir + "/COM5");
    linkPort("COM6", dir + "/missing");  // dangling: no port, though ttyUSB1 is there
    EXPECT_EQ(serial::probePort("COM6"), OpenResult::NoSuchPort);
    linkPort("COM9", "/dev/null");  // not a terminal
    EXPECT_EQ(serial::probePort("COM9"), OpenResult::Failed);
}

// A device the user may not open is told apart from one that is absent, and leaves
// nothing open behind.
TEST_F(SerialPortTest, APermissionRefusalIsAccessDenied) {
    Pty pty;
    linkPort("COM3", pty.slave);
    {
        kevosupport::DeviceAccessDenied denied(pty.slave);
        ASSERT_TRUE(denied.active());
        EXPECT_EQ(serial::probePort("COM3"), OpenResult::AccessDenied);
        SerialPort port;
        EXPECT_EQ(port.open("COM3"), OpenResult::AccessDenied);
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::Ok);
    EXPECT_STREQ(serial::resultName(OpenResult::AccessDenied), "access denied");
}

TEST_F(SerialPortTest, ProbeTellsFreeInUseAbsentAndFiles) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    linkPort("COM3", pty.slave);
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::Ok);
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::Ok);  // the probe left nothing open

    {
        SerialPort held;
        ASSERT_EQ(held.open("COM3"), OpenResult::Ok);
        EXPECT_EQ(serial::probePort("COM3"), OpenResult::InUse);
        SerialPort second;
        EXPECT_EQ(second.open("COM3"), OpenResult::InUse);
        EXPECT_FALSE(second.isOpen());
    }
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::Ok);

    // Another process holds it.
    OtherProcessHoldsPort other(pty.slave);
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::InUse);
    other.release();
    EXPECT_EQ(serial::probePort("COM3"), OpenResult::Ok);

    // A disk file and a directory are not ports; /dev/null is no terminal.
    std::string file = dir + "/data.bin";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    linkPort("COM8", file);
    linkPort("COM9", dir);
    linkPort("COM10", "/dev/null");
    linkPort("COM11", dir + "/missing");
    EXPECT_EQ(serial::probePort("COM8"), OpenResult::NotCharDevice);
    EXPECT_EQ(serial::probePort("COM9"), OpenResult::NotCharDevice);
    EXPECT_EQ(serial::probePort("COM10"), OpenResult::Failed);
    EXPECT_EQ(serial::probePort("COM11"), OpenResult::NoSuchPort);
}

TEST_F(SerialPortTest, RawModeCarriesEveryByteBothWays) {
    Pty pty;
    linkPort("COM2", pty.slave);
    SerialPort port;
    ASSERT_EQ(port.open("COM2"), OpenResult::Ok);
    EXPECT_TRUE(port.configure(921600));  // DTR's ENOTTY on a pty is no failure

    termios tio;
    ASSERT_EQ(tcgetattr(port.fd(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B921600));
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_FALSE(port.configure(12345));  // unknown rate: kept as the driver has it

    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    ASSERT_EQ(write(pty.master, all.data(), all.size()), 256);
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (got.size() < 256 && std::chrono::steady_clock::now() < end) {
        int n = port.bytesWaiting();
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        uint8_t buf[512];
        size_t k = port.readSome(buf, sizeof buf);
        got.append(reinterpret_cast<char*>(buf), k);
    }
    EXPECT_EQ(got, all);
    EXPECT_EQ(port.bytesWaiting(), 0);

    ASSERT_EQ(port.writeAll(all.data(), all.size()), SerialPort::WriteResult::Ok);
    EXPECT_EQ(pty.readMaster(256), all);
}

TEST_F(SerialPortTest, LargeWritesArriveWholeWhenTheReaderIsSlow) {
    Pty pty;
    linkPort("COM2", pty.slave);
    SerialPort port;
    ASSERT_EQ(port.open("COM2"), OpenResult::Ok);
    port.configure(115200);
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 >> 3);
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the queue fill first
        received = pty.readMaster(data.size(), 10000);
    });
    EXPECT_EQ(port.writeAll(data.data(), data.size(), 10000), SerialPort::WriteResult::Ok);
    reader.join();
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

TEST_F(SerialPortTest, HangUpIsNoDataAndWritesFail) {
    Pty pty;
    linkPort("COM2", pty.slave);
    SerialPort port;
    ASSERT_EQ(port.open("COM2"), OpenResult::Ok);
    port.configure(9600);
    ASSERT_EQ(write(pty.master, "abc", 3), 3);
    pty.closeMaster();
    auto start = std::chrono::steady_clock::now();
    uint8_t buf[16];
    for (int i = 0; i < 1000; ++i) {
        port.bytesWaiting();
        port.readSome(buf, sizeof buf);
    }
    EXPECT_EQ(port.readSome(buf, sizeof buf), 0u);
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.writeAll("x", 1, 500), SerialPort::WriteResult::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // no hang
    port.close();
    EXPECT_FALSE(port.isOpen());
    port.close();  // twice is harmless
}
