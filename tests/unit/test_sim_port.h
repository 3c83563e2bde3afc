// The client side of the simulator's pty for tests: plain POSIX, hand-made frames.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rafusim.h"

namespace simtest {

// A fresh port folder per test.
inline std::string makeTempDir() {
    char tmpl[] = "/tmp/rafusim-test-XXXXXX";
    const char* p = ::mkdtemp(tmpl);
    return p ? std::string(p) : std::string();
}

class Client {
  public:
    explicit Client(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void write(const std::vector<uint8_t>& b) {
        ASSERT_EQ(::write(fd_, b.data(), b.size()), ssize_t(b.size()));
    }
    void sendText(const std::string& payload) { write(rafusim::frameText(payload)); }
    // Reads until n bytes came or the deadline passed.
    std::vector<uint8_t> read(size_t n, int timeoutMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (buf_.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left)) <= 0) continue;
            uint8_t tmp[4096];
            ssize_t r = ::read(fd_, tmp, sizeof tmp);
            if (r > 0) buf_.insert(buf_.end(), tmp, tmp + r);
        }
        size_t k = std::min(n, buf_.size());
        std::vector<uint8_t> out(buf_.begin(), buf_.begin() + long(k));
        buf_.erase(buf_.begin(), buf_.begin() + long(k));
        return out;
    }
    // Reads one ACK/NAK and one reply frame; returns the reply's payload ("" when none).
    std::string query(const std::string& payload, uint8_t* ack = nullptr) {
        sendText(payload);
        auto a = read(1);
        if (ack) *ack = a.empty() ? 0 : a[0];
        return readFrame();
    }
    // Reads STX payload ETX checksum; checks the checksum.
    std::string readFrame(int timeoutMs = 1000) {
        auto stx = read(1, timeoutMs);
        if (stx.empty() || stx[0] != rafusim::STX) return "";
        std::string payload;
        for (;;) {
            auto c = read(1, timeoutMs);
            if (c.empty()) return "<cut>";
            if (c[0] == rafusim::ETX) break;
            payload.push_back(char(c[0]));
        }
        auto sum = read(1, timeoutMs);
        EXPECT_EQ(sum.size(), 1u);
        if (!sum.empty()) {
            EXPECT_EQ(sum[0], rafusim::textChecksum(payload)) << payload;
        }
        return payload;
    }
    // Nothing arrives within ms.
    bool quiet(int ms) { return read(1, ms).empty(); }

  private:
    int fd_ = -1;
    std::vector<uint8_t> buf_;
};

struct SimFixture : ::testing::Test {
    std::string dir = makeTempDir();
    rafusim::Simulator sim{[this] {
        rafusim::Simulator::Options o;
        o.portDir = dir;
        return o;
    }()};
    bool started = sim.start();  // before the members of derived fixtures open the port
    void SetUp() override { ASSERT_TRUE(started) << sim.lastError(); }
    void TearDown() override {
        sim.stop();
        ::rmdir(dir.c_str());
    }
};

}  // namespace simtest
