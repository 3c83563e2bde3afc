// Opens a full log (1,600,000 bytes, 49,999 telegrams) through the main window's Open
// command until the end of its trace is painted, then saves it (binary log and RTF copy).
// Prints the times and the peak resident memory. Run with QT_QPA_PLATFORM=offscreen.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <string>

#include "capturestore.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "kevoapplication.h"
#include "traceview.h"

namespace {

// Write telegrams and register reads with a repeated start, NAKs, errors and port bits now
// and then: 49,999 telegram starts in exactly 800,000 pairs.
QByteArray fullLog() {
    std::mt19937 rng(2024);
    QByteArray out;
    out.reserve(CaptureBufferSize);
    const int telegrams = TelegramIndexSize - 1;
    const int pairs = CaptureBufferSize / 2;
    for (int t = 0; t < telegrams; ++t) {
        const int n = pairs / telegrams + (t < pairs % telegrams ? 1 : 0);
        const bool read = t % 3 == 0;
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
            out.append(char(st));
            out.append(char(d));
        }
    }
    return out;
}

long peakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    KevoApplication app(argc, argv);
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/";
    setProgramFilePath(dir + "kevo");
    const std::string log = dir + "voll.i2p";
    {
        QFile f(QString::fromStdString(log));
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(fullLog());
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
    delete F_IIcCtrl;
    dialogs::setResponder({});
    return 0;
}
