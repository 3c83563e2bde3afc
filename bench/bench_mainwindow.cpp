// Opens a full log (1,600,000 bytes, 49,999 telegrams) through the main window's Open
// command until the end of its trace is painted, then saves it (binary log and RTF copy).
// Then records from the simulated adapter at the full line rate of 921,600 baud and opens the
// Analyzer menu every 250 ms: the time from the click to the menu's first paint shows whether
// the window stays responsive while recording.
// Prints the times and the peak resident memory. Run with QT_QPA_PLATFORM=offscreen.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "capturestore.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "kevoapplication.h"
#include "rafusim.h"
#include "traceview.h"

namespace {

using namespace benchsupport;

// Write telegrams and register reads with a repeated start, NAKs, errors and port bits now
// and then.
QByteArray fullLog() {
    return fullLogPairs(2024, [](int, uint8_t, uint8_t&) {});
}

// Stops a timer at the watched widget's first paint.
class FirstPaint : public QObject {
  public:
    QElapsedTimer clock;
    qint64 paintedAfter = -1;  // microseconds
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && paintedAfter < 0) paintedAfter = clock.nsecsElapsed() / 1000;
        return QObject::eventFilter(o, e);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about popups (no raise, no keyboard grab) say nothing here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        if (!m.startsWith("This plugin does not support")) std::fprintf(stderr, "%s\n", qPrintable(m));
    });
    KevoApplication app(argc, argv);
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/";
    setProgramFilePath(dir + "kevo");
    QFile(QString::fromStdString(dir + BuildTreeMarker)).open(QIODevice::WriteOnly);  // data beside it
    const std::string log = dir + "voll.i2p";
    {
        QFile f(QString::fromStdString(log));
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(fullLog());
    }
    // The simulated adapter on COM1, named in the configuration, so that start-up links.
    QDir().mkpath(tmp.path() + "/ports");
    const auto sim = startBenchSim(dir + "ports", "COM1");
    if (!sim) return 1;
    {
        QFile f(QString::fromStdString(dir + "kevo.cfg"));
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write("[RAFU]\r\nPort=COM1\r\nBaudrate=921600\r\n");
    }
    dialogs::setResponder([&log](const dialogs::Request& r) {
        if (r.kind == dialogs::Kind::OpenFile) return dialogs::Response{dialogs::mrOk, log};
        if (r.kind == dialogs::Kind::SaveFile) return dialogs::Response{dialogs::mrOk, log + ".kopie.i2p"};
        return dialogs::Response{dialogs::mrCancel, {}};  // start-up: go offline
    });

    F_IIcCtrl = new TF_IIcCtrl;
    F_IIcCtrl->show();
    app.processEvents();

    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        F_IIcCtrl->miOpenClick();
        TraceView* v = F_IIcCtrl->RE_I2CMonitor;
        v->verticalScrollBar()->setValue(v->verticalScrollBar()->maximum());
        v->viewport()->repaint();
        app.processEvents();
        const qint64 shown = timer.elapsed();
        std::printf(
            "open full log: %lld ms until shown (%d bytes, %d telegrams, %d lines), peak RSS %ld MB\n",
            static_cast<long long>(shown), captureStore()->BytesUsed.load(),
            captureStore()->IndexCount.load() - 1, v->document()->blockCount(), peakRssMb());
    }
    QElapsedTimer timer;
    timer.start();
    F_IIcCtrl->miSaveAsClick();
    std::printf("save as (binary log and RTF copy): %lld ms, RTF %lld bytes, peak RSS %ld MB\n",
                static_cast<long long>(timer.elapsed()),
                static_cast<long long>(QFile(QString::fromStdString(log + ".kopie.rtf")).size()),
                peakRssMb());

    // Recording at the full line rate while the user opens a menu now and then.
    F_IIcCtrl->miNewClick();
    rafusim::TrafficOptions traffic;  // 92,160 event bytes per second
    sim->setCaptureTraffic(traffic);
    F_IIcCtrl->miAnlStartClick();
    if (!F_IIcCtrl->CaptureThread) {
        std::fprintf(stderr, "recording did not start\n");
        return 1;
    }
    QMenu* menu = F_IIcCtrl->mmAnalyzer;
    FirstPaint probe;
    menu->installEventFilter(&probe);
    std::vector<qint64> latencies;
    int missed = 0;
    QTimer opener;
    opener.setInterval(250);
    QObject::connect(&opener, &QTimer::timeout, [&] {
        if (menu->isVisible()) {
            if (probe.paintedAfter < 0) ++missed;
            latencies.push_back(probe.paintedAfter);
            menu->hide();
            return;
        }
        // A click on the menu bar, queued behind whatever the capture thread has handed over.
        probe.paintedAfter = -1;
        probe.clock.start();
        QMenuBar* bar = F_IIcCtrl->Hauptmenu;
        const QPointF at = bar->actionGeometry(menu->menuAction()).center();
        QCoreApplication::postEvent(bar, new QMouseEvent(QEvent::MouseButtonPress, at, bar->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(bar, new QMouseEvent(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at),
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    opener.start();
    QElapsedTimer recording;
    recording.start();
    while (recording.elapsed() < 8000 && !captureStore()->StoreFull())
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    opener.stop();
    menu->hide();
    QElapsedTimer stopping;
    stopping.start();
    F_IIcCtrl->miAnlStopClick();
    const qint64 stopMs = stopping.elapsed();
    std::sort(latencies.begin(), latencies.end());
    const qint64 median = latencies.empty() ? -1 : latencies[latencies.size() / 2];
    const qint64 worst = latencies.empty() ? -1 : latencies.back();
    std::printf(
        "recording %lld ms at the line rate (%d bytes stored): menu painted after median %.1f ms, "
        "worst %.1f ms (%zu openings, %d not painted within 250 ms); stop %lld ms, peak RSS %ld MB\n",
        static_cast<long long>(recording.elapsed()), captureStore()->BytesUsed.load(), median / 1000.0,
        worst / 1000.0, latencies.size(), missed, static_cast<long long>(stopMs), peakRssMb());

    F_IIcCtrl->close();
    delete F_IIcCtrl;
    dialogs::setResponder({});
    sim->stop();
    return 0;
}
