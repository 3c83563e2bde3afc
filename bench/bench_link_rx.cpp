// Receive-thread throughput at 921,600 baud and its CPU use on an idle line and
// after the device vanished.
// Plays the adapter on a pty master: answers the block-size query, then streams
// full binary blocks paced at the line rate (92,160 bytes/s) and counts what
// arrives in the capture buffer.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "linkproto.h"
#include "tasks.h"
#include "vl-com.h"

using Clock = std::chrono::steady_clock;

namespace {

using kevosupport::taskIds;

// utime + stime of one thread, in seconds.
double threadCpu(int tid) {
    std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return -1;
    char buf[1024];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    const char* p = strrchr(buf, ')');
    if (!p) return -1;
    unsigned long ut = 0, st = 0;
    // Fields after the command: state(3) ... utime(14) stime(15).
    sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &ut, &st);
    return double(ut + st) / sysconf(_SC_CLK_TCK);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) || unlockpt(master)) return 1;
    char tmpl[] = "/tmp/link-bench-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    setenv("VLCOM_PORT_DIR", dir.c_str(), 1);
    if (symlink(ptsname(master), (dir + "/COM1").c_str()) != 0) return 1;

    // The adapter's side: answer "%" with "x40", count ACKs and NAKs of our blocks.
    std::atomic<bool> stop{false};
    std::atomic<long> acks{0}, naks{0};
    std::thread peer([&] {
        std::string seen;
        bool answered = false;
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0) continue;
            char buf[4096];
            ssize_t k = read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < k; ++i) {
                uint8_t c = buf[i];
                if (!answered) {
                    seen.push_back(char(c));
                    if (seen.find(vlcom::buildTextFrame("%")) != std::string::npos) {
                        std::string r = std::string(1, char(vlcom::ACK)) + vlcom::buildTextFrame("x40");
                        (void)!write(master, r.data(), r.size());
                        answered = true;
                    }
                } else if (c == vlcom::ACK) {
                    ++acks;
                } else if (c == vlcom::NAK) {
                    ++naks;
                }
            }
        }
    });

    std::set<int> before = taskIds();
    BSTR port = SysAllocStringByteLen("COM1", 4);
    int32_t baud = 921600;
    VlCOMPortSel(&port, &baud);
    SysFreeString(port);
    int32_t bs = VlCOMOpenPort();
    std::set<int> after = taskIds();
    int rxTid = 0;
    for (int t : after)
        if (!before.count(t)) rxTid = t;
    if (bs != 64 || !rxTid) {
        fprintf(stderr, "open failed: %d\n", bs);
        return 1;
    }

    // Stream full blocks paced at 92,160 wire bytes per second.
    const int B = 64;
    const double wireRate = 92160.0;
    long long sentData = 0, sentWire = 0;
    double maxLagMs = 0;
    std::atomic<long long> received{0};
    std::atomic<bool> feeding{true};
    std::thread consumer([&] {
        while (feeding || received < sentData) {
            BSTR b = asGetRxBinBuf();
            received += SysStringByteLen(b);
            SysFreeString(b);
            if (!b) std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (!feeding && !b) {
                static auto idleSince = Clock::now();
                if (Clock::now() - idleSince > std::chrono::seconds(2)) break;
            }
        }
    });
    double cpu0 = threadCpu(rxTid);
    auto t0 = Clock::now();
    uint8_t counter = 0;
    while (true) {
        double el = std::chrono::duration<double>(Clock::now() - t0).count();
        if (el >= seconds) break;
        double due = el * wireRate;
        while (sentWire + B + 2 <= due) {
            std::string data(B, 0);
            for (char& c : data) c = char(counter++);
            std::string blk = vlcom::buildBlock(data.data(), B, B);
            size_t off = 0;
            while (off < blk.size()) {
                ssize_t k = write(master, blk.data() + off, blk.size() - off);
                if (k > 0) off += k;
            }
            sentWire += blk.size();
            sentData += B;
        }
        double lag = (el * wireRate - sentWire) / wireRate * 1000.0;
        if (lag > maxLagMs) maxLagMs = lag;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double feedSec = std::chrono::duration<double>(Clock::now() - t0).count();
    feeding = false;
    consumer.join();
    double cpuBusy = threadCpu(rxTid) - cpu0;

    // CPU share of the receive thread over the next two seconds.
    auto cpuShare = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        double c = threadCpu(rxTid);
        auto i0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return (threadCpu(rxTid) - c) / std::chrono::duration<double>(Clock::now() - i0).count();
    };
    // Idle line: the receive thread only polls.
    double cpuIdle = cpuShare();
    // The device vanishes (the adapter's side of the pty closes): no data, no spin.
    stop = true;
    peer.join();
    close(master);
    double cpuGone = cpuShare();

    printf(
        "921600 baud stream: %.2f s, %lld wire bytes (%.0f B/s), %lld data bytes sent, %lld received, "
        "lost %lld\n",
        feedSec, sentWire, sentWire / feedSec, sentData, received.load(), sentData - received.load());
    printf("blocks acknowledged %ld, NAKed %ld, writer max lag %.1f ms\n", acks.load(), naks.load(),
           maxLagMs);
    printf("receive thread CPU while streaming: %.1f %% of one core\n", 100.0 * cpuBusy / feedSec);
    printf("receive thread CPU on an idle line: %.1f %% of one core\n", 100.0 * cpuIdle);
    printf("receive thread CPU after the device vanished: %.1f %% of one core\n", 100.0 * cpuGone);

    VlCOMClosePort();
    std::string cmd = "rm -rf '" + dir + "'";
    return system(cmd.c_str()) == 0 && received == sentData ? 0 : 2;
}
