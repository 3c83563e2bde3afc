// rafusim: runs the RAFU adapter simulator until SIGINT or SIGTERM, so that KEVO can be
// used without the hardware. The port link is removed on exit.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rafusim.h"

namespace {

void usage() {
    std::printf(
        "usage: rafusim [--port COM1] [--dir PORTFOLDER] [--traffic] [--rate BYTES_PER_S]\n"
        "               [--data-bytes MIN[-MAX]] [--seed N] [--block-size N] [--pll]\n"
        "               [--serial TEXT] [--firmware TEXT]\n"
        "  --port        port name to link (default COM1)\n"
        "  --dir         port folder (default $VLCOM_PORT_DIR or ~/.config/vl-com/ports)\n"
        "  --traffic     stream generated bus traffic while a recording runs\n"
        "  --rate        event bytes per second of that traffic (default 2000; 92160 = full line rate)\n"
        "  --data-bytes  data bytes per generated telegram (default: a mix of 0..16)\n"
        "  --seed        seed of the generated traffic\n"
        "  --block-size  binary block size reported to the library (default 64)\n"
        "  --pll         report the PLL clock (36 MHz system clock)\n"
        "  --serial, --firmware  what the adapter reports about itself\n");
}

// "N" or "MIN-MAX", decimal, each at most 100000.
bool dataBytesRange(const std::string& text, int& min, int& max) {
    const char* p = text.c_str();
    auto number = [&p](int& out) {
        if (*p < '0' || *p > '9') return false;
        long v = 0;
        while (*p >= '0' && *p <= '9' && v <= 100000) v = v * 10 + (*p++ - '0');
        out = int(v);
        return v <= 100000;
    };
    if (!number(min)) return false;
    max = min;
    if (*p == '-' && (++p, !number(max))) return false;
    return *p == 0 && min <= max;
}

}  // namespace

int main(int argc, char** argv) {
    rafusim::Simulator::Options opt;
    opt.logLimit = 1u << 20;  // runs for hours: keep the logs small
    bool traffic = false;
    rafusim::TrafficOptions t;
    t.bytesPerSecond = 2000;
    t.bufferFullEvery = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "rafusim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--port")
            opt.portName = value();
        else if (a == "--dir")
            opt.portDir = value();
        else if (a == "--traffic")
            traffic = true;
        else if (a == "--rate")
            t.bytesPerSecond = std::atoi(value().c_str());
        else if (a == "--data-bytes") {
            const std::string v = value();
            if (!dataBytesRange(v, t.dataBytesMin, t.dataBytesMax)) {
                std::fprintf(stderr, "rafusim: --data-bytes wants MIN or MIN-MAX, got %s\n", v.c_str());
                return 2;
            }
        } else if (a == "--seed")
            t.seed = uint32_t(std::strtoul(value().c_str(), nullptr, 0));
        else if (a == "--block-size")
            opt.blockSize = std::atoi(value().c_str());
        else if (a == "--pll")
            opt.pll = true;
        else if (a == "--serial")
            opt.serial = value();
        else if (a == "--firmware")
            opt.firmware = value();
        else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "rafusim: unknown argument %s\n", a.c_str());
            usage();
            return 2;
        }
    }

    // Signals are taken by sigwait below; block them before any thread starts.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    rafusim::Simulator sim(opt);
    // A small bus as found on a typical board.
    sim.addDevice(0xA0, {rafusim::DeviceKind::Eeprom, 256, 8, 1, 0xFF});    // 24C02
    sim.addDevice(0xA4, {rafusim::DeviceKind::Eeprom, 8192, 32, 2, 0xFF});  // 24C64
    sim.addDevice(0xAE, {rafusim::DeviceKind::Ram, 256, 1, 1, 0x00});       // 256-byte RAM
    sim.addDevice(0x90, {rafusim::DeviceKind::Register, 16, 1, 1, 0x00});   // register device
    std::vector<uint8_t> text;
    for (const char* p = "RAFU simulator 24C02 "; *p; ++p) text.push_back(uint8_t(*p));
    sim.setMemory(0xA0, 0, text);
    sim.setMemory(0x90, 0, {0x19, 0x80, 0x4B, 0x00, 0x50});
    if (traffic) sim.setCaptureTraffic(t);

    if (!sim.start()) {
        std::fprintf(stderr, "rafusim: %s\n", sim.lastError().c_str());
        return 1;
    }
    std::printf("rafusim: %s -> %s\n", sim.linkPath().c_str(), sim.slavePath().c_str());
    std::printf("rafusim: devices 24C02 at 0xA0, 24C64 at 0xA4, RAM at 0xAE, registers at 0x90%s\n",
                traffic ? ", traffic on recording" : "");
    std::printf("rafusim: Ctrl+C ends\n");
    std::fflush(stdout);

    int sig = 0;
    sigwait(&set, &sig);
    rafusim::Stats s = sim.stats();
    sim.stop();
    std::printf("\nrafusim: %zu telegrams, %zu bad frames, %zu capture bytes sent; link removed\n",
                s.framesOk, s.framesBadChecksum, sim.captureBytesSent());
    return 0;
}
