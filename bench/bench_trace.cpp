// Renders a full capture store (1,600,000 bytes, 49,999 telegrams) into the trace view, as
// loading a full log does, until the view is ready to show its end. Prints the time and the
// peak resident memory. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <cstdio>
#include <memory>
#include <random>

#include "benchsupport.h"
#include "capturestore.h"
#include "projectsettings.h"
#include "tracedecoder.h"
#include "traceview.h"

namespace {

using namespace benchsupport;

// Write telegrams (address, sub-address, data) and register reads (address, sub-address,
// repeated start, read data), with NAKs, protocol errors and port bits now and then.
void fillFullStore(CaptureStore& s) {
    std::mt19937 rng(2024);
    // The 49,999th start fills the index, so the last telegram holds its first pair only;
    // the others share the rest of the 800,000 pairs.
    const int telegrams = TelegramIndexSize - 1;
    const int pairs = CaptureBufferSize / 2 - 1;
    for (int t = 0; t < telegrams; ++t) {
        const int share = pairs / (telegrams - 1);
        const int n = t == telegrams - 1 ? 1 : share + (t < pairs % (telegrams - 1) ? 1 : 0);
        const bool read = t % 3 == 0;
        benchTelegram(rng, n, read, [&s](uint8_t st, uint8_t d) { s.AppendBusEvent(st, d); });
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto store = std::make_unique<CaptureStore>();
    setCaptureStore(store.get());
    fillFullStore(*store);
    std::printf("store: %d bytes, %d telegrams\n", store->BytesUsed.load(), store->IndexCount.load() - 1);

    TraceView view;
    showBenchView(view);
    app.processEvents();

    for (int mode : {0, 2}) {
        store->DecodePos = 0;
        store->TelegramNo = 0;
        ProjectSettings.AttributeMode = mode;
        view.clearText();
        app.processEvents();

        QElapsedTimer timer;
        timer.start();
        ShowTraceOffline("I²C-Analyzer Protokolldatei: bench.i2p", 0);
        const qint64 decoded = timer.elapsed();
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        view.horizontalScrollBar()->setValue(0);
        view.viewport()->repaint();
        app.processEvents();
        const qint64 ready = timer.elapsed();
        std::printf("attributes %s: decode+insert %lld ms, view ready %lld ms, %d lines, peak RSS %ld MB\n",
                    mode == 0 ? "on " : "off", static_cast<long long>(decoded), static_cast<long long>(ready),
                    view.document()->blockCount(), peakRssMb());
    }
    setMonitorView(nullptr);
    setCaptureStore(nullptr);
    return 0;
}
