// A recording at 921,600 baud at the full line rate: the simulated adapter streams generated
// bus traffic (92,160 event bytes per second) over a pty into the real link library, the
// capture thread ThIIcWatch appends it to the capture store and hands the live decode to this
// GUI thread, which runs its event loop and a trace view on the offscreen platform. The
// recording runs until the store is full or the time cap passes, then it is stopped as the
// main window stops it (Terminate, WaitFor serving the hand-overs, ComClose).
//
// Prints what the adapter sent against what was stored (events lost before the store was
// full), the duration of the live hand-overs on the GUI thread (timed around the delivery of
// the mailbox's queued call) and of the final decode's hand-overs, how far the trace was
// behind the store, the longest gap of a 1 ms timer (event-loop stall), the trace view's
// repaints, the stop, CPU time and peak resident memory.
//
// Usage: bench_capture_linerate [seconds, default 30] [bytes per second, default 92160]
// Run with QT_QPA_PLATFORM=offscreen (set here when unset).
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "capturestore.h"
#include "deviceinfo.h"
#include "iicwatch.h"
#include "projectsettings.h"
#include "rafusim.h"
#include "syncmailbox.h"
#include "tracedecoder.h"
#include "traceview.h"
#include "vl-com.h"
#include "vlcom.h"

namespace {

using namespace benchsupport;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Durations in ms, with the few figures the report needs.
struct Durations {
    std::vector<double> v;
    void add(double ms) { v.push_back(ms); }
    double max() const { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
    double mean() const {
        double s = 0;
        for (double x : v) s += x;
        return v.empty() ? 0 : s / double(v.size());
    }
    double percentile(double p) const {
        if (v.empty()) return 0;
        std::vector<double> s = v;
        const size_t k = std::min(s.size() - 1, size_t(p / 100.0 * double(s.size())));
        std::nth_element(s.begin(), s.begin() + long(k), s.end());
        return s[k];
    }
    size_t over(double ms) const {
        return size_t(std::count_if(v.begin(), v.end(), [&](double x) { return x > ms; }));
    }
};

// Times the delivery of every queued call to a bare QObject: the mailbox's receiver gets one
// per hand-over and runs the posted function inside it. Hand-overs that begin while
// CaptureRunning is 1 are the live ones (SyncDecode of one line, header lines); the others
// come after the final drain (the decode of everything left, the footer).
class TimingApp : public QApplication {
  public:
    using QApplication::QApplication;
    bool measuring = false;
    Durations live, closing;
    double liveLongestAt = 0;  // ms since the recording started
    Clock::time_point started;

    // Paint events of the trace view's text area while measuring, and their time (ms).
    QObject* viewport = nullptr;
    size_t livePaints = 0, closingPaints = 0;
    double paintMs = 0;

    bool notify(QObject* receiver, QEvent* event) override {
        if (measuring && receiver == viewport && event->type() == QEvent::Paint) {
            ++(CaptureRunning.load() == 1 ? livePaints : closingPaints);
            const auto t0 = Clock::now();
            const bool r = QApplication::notify(receiver, event);
            paintMs += msSince(t0);
            return r;
        }
        if (!measuring || event->type() != QEvent::MetaCall || receiver->parent() ||
            receiver->metaObject() != &QObject::staticMetaObject)
            return QApplication::notify(receiver, event);
        const bool running = CaptureRunning.load() == 1;
        const auto t0 = Clock::now();
        const bool r = QApplication::notify(receiver, event);
        const double ms = msSince(t0);
        if (running) {
            if (ms > live.max())
                liveLongestAt = std::chrono::duration<double, std::milli>(t0 - started).count();
            live.add(ms);
        } else {
            closing.add(ms);
        }
        return r;
    }
};

double cpuMs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// CPU time of every thread of the process (ms), largest first.
std::vector<std::pair<double, std::string>> threadCpu() {
    std::vector<std::pair<double, std::string>> out;
    const long tick = sysconf(_SC_CLK_TCK);
    DIR* d = opendir("/proc/self/task");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream f(std::string("/proc/self/task/") + e->d_name + "/stat");
        std::string line;
        std::getline(f, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        const std::string name = line.substr(line.find('(') + 1, close - line.find('(') - 1);
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::stol(field);
            if (i == 15) stime = std::stol(field);
        }
        out.push_back({double(utime + stime) * 1000.0 / double(tick), std::string(e->d_name) + " " + name});
    }
    closedir(d);
    std::sort(out.rbegin(), out.rend());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const double capSeconds = argc > 1 ? atof(argv[1]) : 30.0;
    const int rate = argc > 2 ? atoi(argv[2]) : 92160;
    TimingApp app(argc, argv);

    char tmpl[] = "/tmp/bench-capture-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    auto sim = startBenchSim(dir, "COM6");
    if (!sim) return 1;

    resetProjectSettings();
    resetTraceDecoder();
    OfflineMode = false;
    BSTR port = SysAllocStringByteLen("COM6", 4);
    int32_t baud = 921600;
    if (VlCOMPortSel(&port, &baud) != 1) {
        std::fprintf(stderr, "port COM6 could not be opened\n");
        return 1;
    }
    SysFreeString(port);

    auto store = std::make_unique<CaptureStore>();
    setCaptureStore(store.get());
    TraceView view;
    showBenchView(view);
    app.processEvents();
    app.viewport = view.viewport();

    rafusim::TrafficOptions traffic;
    traffic.bytesPerSecond = rate;
    traffic.seed = 7;
    sim->setCaptureTraffic(traffic);

    // The recording control's start.
    if (!SendAnalyzerSetup()) {
        std::fprintf(stderr, "analyzer configuration not sent\n");
        return 1;
    }
    view.setCaretPos(view.textLength());
    ComOpen();
    store->StartBytes = store->BytesUsed.load();
    std::printf("recording at %d event bytes/s, LinkBaud %d, cap %.1f s, store %d bytes / %d telegrams\n",
                rate, baud, capSeconds, CaptureBufferSize, TelegramIndexSize - 1);

    const double cpu0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double gui0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    app.started = Clock::now();
    app.measuring = true;
    auto thread = std::make_unique<ThIIcWatch>(true);
    thread->Resume();

    // Event-loop responsiveness: the gaps between two ticks of a 1 ms timer.
    Durations gaps;
    double gapLongestAt = 0;
    Clock::time_point lastTick = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        const double gap = std::chrono::duration<double, std::milli>(now - lastTick).count();
        if (gap > gaps.max()) gapLongestAt = msSince(app.started);
        gaps.add(gap);
        lastTick = now;
    });
    tick.start();

    // A full store ends the capture loop by itself: the thread then sends the stop telegram,
    // waits, drains and writes the footer while the main window still shows the recording as
    // running, so its last hand-overs are served by the ordinary event loop. The user's stop
    // follows once the thread has finished (or at the time cap).
    double fullAtMs = -1, finishedAtMs = -1, stopMs = 0, recordedMs = 0;
    int32_t decodedAtFull = 0, backlogAtFull = 0;
    size_t sentAtFull = 0;
    QTimer watch;
    watch.setInterval(5);
    auto stop = [&] {
        watch.stop();
        tick.stop();
        app.measuring = false;
        recordedMs = msSince(app.started);
        const auto t0 = Clock::now();
        thread->Terminate();
        thread->WaitFor();
        stopMs = msSince(t0);
        if (thread->FatalException()) std::fprintf(stderr, "capture thread ended with an exception\n");
        thread.reset();
        ComClose();
        app.quit();
    };
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (fullAtMs < 0 && store->StoreFull()) {
            fullAtMs = msSince(app.started);
            sentAtFull = sim->captureBytesSent();
            decodedAtFull = store->DecodePos;
            backlogAtFull = store->BytesUsed.load() - store->DecodePos;
        }
        if (fullAtMs >= 0) {
            if (thread->Finished()) {
                finishedAtMs = msSince(app.started);
                stop();
            } else if (msSince(app.started) - fullAtMs > 10000) {
                stop();
            }
        } else if (msSince(app.started) >= capSeconds * 1000.0) {
            decodedAtFull = store->DecodePos;
            backlogAtFull = store->BytesUsed.load() - store->DecodePos;
            stop();
        }
    });
    watch.start();
    app.exec();
    const double cpuMsTotal = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double guiCpuMs = cpuMs(CLOCK_THREAD_CPUTIME_ID) - gui0;
    const auto perThread = threadCpu();

    // What the adapter sent (ACKed capture blocks) against what was stored.
    sim->waitCaptureIdle(2000);
    const std::vector<uint8_t> sent = sim->captureSent();
    const size_t used = size_t(store->BytesUsed.load());
    const uint8_t* buf = store->CaptureBuffer.get();
    const size_t common = std::min(used, sent.size());
    size_t firstDiff = common;
    for (size_t i = 0; i < common; ++i)
        if (buf[i] != sent[i]) {
            firstDiff = i;
            break;
        }
    size_t adapterOverflows = 0;
    for (size_t i = 0; i + 1 < sent.size(); i += 2)
        if (sent[i] & StatusBufferFull) ++adapterOverflows;

    const bool full = store->StoreFull();
    std::printf("\nrecorded %.2f s; ", recordedMs / 1000.0);
    if (fullAtMs >= 0)
        std::printf("store full after %.2f s (%s), thread finished by itself after %.2f s\n",
                    fullAtMs / 1000.0,
                    store->IndexCount.load() >= TelegramIndexSize ? "telegram index" : "bytes",
                    finishedAtMs / 1000.0);
    else
        std::printf("time cap, store not full\n");
    std::printf("bytes sent by the simulator (ACKed blocks): %zu (%zu when the store was seen full)\n",
                sim->captureBytesSent(), sentAtFull);
    std::printf("bytes stored:                               %zu (%.1f%% of %d), %d telegrams (of %d)\n",
                used, 100.0 * double(used) / CaptureBufferSize, CaptureBufferSize,
                store->IndexCount.load() - 1, TelegramIndexSize - 1);
    std::printf("stored bytes equal the sent prefix:         %s", firstDiff == common ? "yes" : "NO");
    if (firstDiff != common) std::printf(" (first difference at byte %zu)", firstDiff);
    std::printf("\n");
    // Before the store is full every sent byte must be stored; once it is full the rest is dropped.
    const size_t lost = firstDiff != common ? sent.size() - firstDiff : (full ? 0 : sent.size() - common);
    std::printf("events lost before the store was full:      %zu pairs\n", lost / 2);
    std::printf(
        "adapter buffer overflows in the stream:     %zu (StatusBufferFull pairs the simulator sent)\n",
        adapterOverflows);
    std::printf("sent after the store was full (dropped):    %zu bytes\n", full ? sent.size() - common : 0);
    const double storedSeconds = (fullAtMs >= 0 ? fullAtMs : recordedMs) / 1000.0;
    std::printf("rate stored until full or cap:              %.0f bytes/s\n",
                double(fullAtMs >= 0 ? std::min(used, sentAtFull) : used) / storedSeconds);

    const Durations& h = app.live;
    std::printf("\nlive hand-overs on the GUI thread (event loop): %zu (%.0f/s)\n", h.v.size(),
                double(h.v.size()) / storedSeconds);
    std::printf("  mean %.3f ms, median %.3f ms, p99 %.3f ms, p99.9 %.3f ms, longest %.3f ms (at %.2f s)\n",
                h.mean(), h.percentile(50), h.percentile(99), h.percentile(99.9), h.max(),
                app.liveLongestAt / 1000.0);
    std::printf("  over 5 ms: %zu, over 16 ms: %zu, over 50 ms: %zu\n", h.over(5), h.over(16), h.over(50));
    std::printf(
        "closing hand-overs in the event loop (final decode, footer): %zu, longest %.1f ms, total %.1f ms\n",
        app.closing.v.size(), app.closing.max(), app.closing.mean() * double(app.closing.v.size()));
    std::printf("  median %.3f ms, p99 %.3f ms, over 16 ms: %zu; in order:", app.closing.percentile(50),
                app.closing.percentile(99), app.closing.over(16));
    for (size_t i = 0; i < app.closing.v.size(); ++i)
        if (i < 4 || i + 8 >= app.closing.v.size() || app.closing.v[i] > 16)
            std::printf(" [%zu] %.1f", i, app.closing.v[i]);
    std::printf("\n");
    std::printf(
        "event loop, 1 ms timer: %zu ticks, mean gap %.3f ms, p99 %.3f ms, longest gap %.1f ms (at %.2f s)\n",
        gaps.v.size(), gaps.mean(), gaps.percentile(99), gaps.max(), gapLongestAt / 1000.0);
    std::printf("trace when the store was full or at the cap: %d bytes decoded, %d bytes behind (%.1f%%)\n",
                decodedAtFull, backlogAtFull,
                100.0 * backlogAtFull / double(std::max<int32_t>(1, decodedAtFull + backlogAtFull)));
    std::printf("user's stop (Terminate..WaitFor): %.0f ms; trace lines %d\n", stopMs,
                view.document()->blockCount());
    std::printf(
        "trace view repaints: %zu while recording (%.0f/s), %zu after the final drain; %.0f ms in all\n",
        app.livePaints, double(app.livePaints) / storedSeconds, app.closingPaints, app.paintMs);

    std::printf(
        "\nCPU time of the recording and stop: %.0f ms process (%.0f%% of one core), GUI thread %.0f ms\n",
        cpuMsTotal, 100.0 * cpuMsTotal / (recordedMs + stopMs), guiCpuMs);
    for (size_t i = 0; i < perThread.size() && i < 6; ++i)
        if (perThread[i].first >= 10)
            std::printf("  thread %s: %.0f ms\n", perThread[i].second.c_str(), perThread[i].first);
    std::printf("peak resident memory: %ld MB\n", peakRssMb());

    setMonitorView(nullptr);
    setCaptureStore(nullptr);
    sim.reset();
    const std::string cmd = "rm -rf '" + dir + "'";
    return system(cmd.c_str()) == 0 ? 0 : 1;
}
