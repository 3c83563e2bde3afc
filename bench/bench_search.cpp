// Searches a full trace (49,999 telegrams, 50,000 lines with the heading) through the search
// dialog: for a telegram near its end and for one that is not there, each timed from the
// click until the selection or the message. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <cstdio>
#include <random>
#include <string>

#include "benchsupport.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "iicsearch.h"
#include "kevoapplication.h"
#include "numberedit.h"
#include "traceview.h"

namespace {

using namespace benchsupport;

// Register writes and reads from device A0; telegram 49,990 is a write to device 5A.
QByteArray fullLog() {
    return fullLogPairs(7, [](int t, uint8_t st, uint8_t& d) {
        if (t == 49990 && (st & StatusStart)) d = 0x5A;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
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
    int messages = 0;
    dialogs::setResponder([&](const dialogs::Request& r) {
        if (r.kind == dialogs::Kind::OpenFile) return dialogs::Response{dialogs::mrOk, log};
        if (r.kind == dialogs::Kind::Message) ++messages;
        return dialogs::Response{dialogs::mrCancel, {}};  // start-up: go offline
    });
    F_IIcCtrl = new TF_IIcCtrl;
    F_Search = new TF_Search(F_IIcCtrl);
    F_IIcCtrl->setSearchWindow(F_Search);
    F_IIcCtrl->show();
    app.processEvents();
    F_IIcCtrl->miOpenClick();
    TraceView* view = F_IIcCtrl->RE_I2CMonitor;
    F_Search->show();
    app.processEvents();
    std::printf("trace: %d lines, %d characters\n", view->document()->blockCount(), view->textLength());

    struct Run {
        const char* what;
        const char* device;
    };
    for (const Run& run : {Run{"near the end", "5A"}, Run{"not there", "5C"}}) {
        NumberEdit::of(F_Search->LE_DevAdr)->setText(QString::fromLatin1(run.device));
        NumberEdit::of(F_Search->LE_DevAdr)->leave();
        for (int round = 0; round < 3; ++round) {
            view->setCaretPos(0);
            const int before = messages;
            QElapsedTimer timer;
            timer.start();
            F_Search->BB_SearchClick();
            const double ms = timer.nsecsElapsed() / 1e6;
            const int line = view->textCursor().block().blockNumber();
            std::printf(
                "search %s: %.1f ms (%s)\n", run.what, ms,
                messages > before ? "message" : ("selection in line " + std::to_string(line)).c_str());
        }
    }
    delete F_IIcCtrl;
    dialogs::setResponder({});
    return 0;
}
