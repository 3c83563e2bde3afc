// Helpers shared by the timing programs: the full-log traffic, the trace view as the main
// window shows it, the simulated adapter in a port folder, peak memory.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include <QByteArray>

#include "capturestore.h"
#include "rafusim.h"
#include "tasks.h"
#include "traceview.h"

namespace benchsupport {

using kevosupport::taskIds;

inline long peakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// One telegram of n pairs: a write (address, sub-address, data) or, if read, a register
// read (address, sub-address, repeated start, read data, NAK), with protocol errors and
// port bits now and then. add(status, data) takes each pair.
template <class Add>
void benchTelegram(std::mt19937& rng, int n, bool read, Add add) {
    for (int i = 0; i < n; ++i) {
        uint8_t st = StatusNoError | StatusNoStop;
        uint8_t d = uint8_t(rng());
        if (i == 0) {
            st |= StatusStart;
            d = 0xA0;
        } else if (read && i == 2) {
            st |= StatusRepStart;
            d = 0xA1;
        }
        if (i == n - 1) st &= uint8_t(~StatusNoStop);
        if (read && i == n - 1) st |= StatusNak;
        if (rng() % 200 == 0) st &= uint8_t(~StatusNoError);
        if (rng() % 50 == 0) st |= StatusPort;
        add(st, d);
    }
}

// A full log: 49,999 telegram starts in exactly 800,000 pairs, every third a register read.
// tweak(telegram, status, data) may change a pair's data byte before it is stored.
template <class Tweak>
QByteArray fullLogPairs(unsigned seed, Tweak tweak) {
    std::mt19937 rng(seed);
    QByteArray out;
    out.reserve(CaptureBufferSize);
    const int telegrams = TelegramIndexSize - 1;
    const int pairs = CaptureBufferSize / 2;
    for (int t = 0; t < telegrams; ++t) {
        const int n = pairs / telegrams + (t < pairs % telegrams ? 1 : 0);
        benchTelegram(rng, n, t % 3 == 0, [&](uint8_t st, uint8_t d) {
            tweak(t, st, d);
            out.append(char(st));
            out.append(char(d));
        });
    }
    return out;
}

// The trace view at the main window's size, as the process-wide one.
inline void showBenchView(TraceView& view) {
    view.resize(592, 333);
    view.setLeftIndent(48);
    view.show();
    setMonitorView(&view);
}

// The simulated adapter on a pty named portName in portDir (an existing folder), which the
// link library is pointed at; quiet until traffic is asked for. Null if it did not start.
inline std::unique_ptr<rafusim::Simulator> startBenchSim(const std::string& portDir,
                                                         const std::string& portName) {
    setenv("VLCOM_PORT_DIR", portDir.c_str(), 1);
    rafusim::Simulator::Options so;
    so.portName = portName;
    so.portDir = portDir;
    auto sim = std::make_unique<rafusim::Simulator>(so);
    if (!sim->start()) {
        std::fprintf(stderr, "simulator: %s\n", sim->lastError().c_str());
        return nullptr;
    }
    sim->setCaptureIdle();
    return sim;
}

}  // namespace benchsupport
