// Shared set-up of the main-window tests: a real TF_IIcCtrl on the offscreen platform, its
// program directory in a fresh temp folder, the dialog seam answering from a script and
// recording every request, and (where wanted) the adapter simulator on a pty.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capturestore.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "einstellungen.h"
#include "iicctrlu.h"
#include "info.h"
#include "kevoapplication.h"
#include "projectsettings.h"
#include "qtapp.h"
#include "rafusim.h"
#include "simport.h"
#include "tracedecoder.h"
#include "traceview.h"
#include "vl-com.h"
#include "vlcom.h"

namespace kevotest {

inline std::string s8(const QString& s) {
    return s.toStdString();
}
inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

inline QByteArray readAll(const std::string& path) {
    QFile f(q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const std::string& path, const QByteArray& data) {
    QFile f(q(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Pairs of a telegram: device address with start, then bytes, a stop after the last one.
inline std::vector<uint8_t> telegram(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> out;
    size_t i = 0;
    for (uint8_t b : bytes) {
        uint8_t st = StatusNoError | StatusNoStop;
        if (i == 0) st |= StatusStart;
        if (i + 1 == bytes.size()) st &= ~StatusNoStop;
        out.push_back(st);
        out.push_back(b);
        ++i;
    }
    return out;
}

class MainWindowTest : public kevosupport::SimPortTest {
  protected:
    QTemporaryDir tmp;
    std::string dir;  // program directory, trailing "/"
    std::vector<dialogs::Request> asked;
    std::vector<QPoint> askedAt;            // the main window's position when each request came
    std::deque<dialogs::Response> answers;  // consumed in order; empty: Cancel
    TF_IIcCtrl* w = nullptr;
    int settingsRuns = 0;
    std::vector<std::unique_ptr<QTimer>> timers;  // pending answers to the settings dialog
    int unscripted = 0;                           // Retry boxes closed for want of a script
    static constexpr int kRetryLimit = 20;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dir = s8(tmp.path()) + "/";
        QDir().mkpath(tmp.path() + "/ports");
        usePortDir(dir + "ports");
        setProgramFilePath(dir + "kevo");
        // A program in its build folder: it keeps its data beside it.
        QFile(q(dir + BuildTreeMarker)).open(QIODevice::WriteOnly);
        resetProjectSettings();
        resetTraceDecoder();
        OfflineMode = false;
        DeviceInfo = TDeviceInfo{};
        VlCOMClosePort();
        LinkOpenCount = 0;
        dialogs::setResponder([this](const dialogs::Request& r) {
            asked.push_back(r);
            askedAt.push_back(w ? QPoint(w->x(), w->y()) : QPoint());
            if (answers.empty()) {
                // Closing an unscripted Retry box again and again is a retry loop that would not
                // end (an adapter that does not answer): it fails the test and is ignored.
                if ((r.buttons & dialogs::mbRetry) && ++unscripted == kRetryLimit)
                    ADD_FAILURE() << "box repeated without an answer: " << r.text;
                return dialogs::Response{unscripted >= kRetryLimit ? dialogs::mrIgnore : dialogs::mrCancel,
                                         {}};
            }
            dialogs::Response a = answers.front();
            answers.pop_front();
            return a;
        });
    }

    void TearDown() override {
        timers.clear();  // an answer that was not used must not reach the next test
        delete w;        // ends a running recording first
        w = nullptr;
        F_IIcCtrl = nullptr;
        F_Einstellungen = nullptr;
        F_Info = nullptr;
        dialogs::setResponder({});
        if (sim) sim->stop();
        VlCOMClosePort();
        LinkOpenCount = 0;
        OfflineMode = false;
        setProgramFilePath({});
    }

    // Starts the simulator on COM1 in the test's port folder.
    void startSim() {
        ASSERT_NO_FATAL_FAILURE(SimPortTest::startSim("COM1"));
        sim->setCaptureIdle();
    }

    // The rate the linked tests write into the configuration (see kSlackBaud).
    static constexpr int kLinkedBaud = kSlackBaud;

    void writeConfig(const std::string& port, int baud, const std::string& extra = {}) {
        std::string text = "[Projekt]\r\nVerzeichnis=" + dir + "Data/\r\nDatei=\r\n[RAFU]\r\nPort=" + port +
                           "\r\nBaudrate=" + std::to_string(baud) + "\r\n" + extra;
        writeFile(dir + "kevo.cfg", QByteArray::fromStdString(text));
    }

    // Creates the windows as the program entry does.
    void create() {
        F_IIcCtrl = w = new TF_IIcCtrl;
        F_Einstellungen = new TF_Einstellungen(w);
        F_Info = new TF_Info(w);
    }

    // Answers the next showing of the settings dialog by pressing OK or Cancel.
    void answerSettings(bool ok, std::function<void()> edit = {}) {
        timers.push_back(std::make_unique<QTimer>());
        QTimer* timer = timers.back().get();
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [this, timer, ok, edit] {
            if (QApplication::activeModalWidget() != F_Einstellungen || !F_Einstellungen->isVisible()) return;
            timer->stop();
            ++settingsRuns;
            if (edit) edit();
            (ok ? F_Einstellungen->BB_Ok : F_Einstellungen->BB_Cancel)->click();
        });
        timer->start();
    }

    // Creates, shows and waits until the window is painted. A settings dialog that no test
    // answers (a linked start that did not reach the adapter) would wait for a click forever:
    // it is cancelled and fails the test.
    void showWindow() {
        if (!w) create();
        const bool answered =
            std::any_of(timers.begin(), timers.end(), [](const auto& t) { return t->isActive(); });
        if (!answered) answerSettings(false, [] { ADD_FAILURE() << "the program asked for the settings"; });
        const size_t guard = timers.size() - 1;
        w->show();
        const bool exposed = QTest::qWaitForWindowExposed(w);
        QTest::qWait(20);
        if (!answered) timers[guard]->stop();
        ASSERT_TRUE(exposed);
    }

    void linkedStart() {
        ASSERT_NO_FATAL_FAILURE(startSim());
        writeConfig("COM1", kLinkedBaud);
        ASSERT_NO_FATAL_FAILURE(showWindow());
        ASSERT_FALSE(OfflineMode);
    }

    void offlineStart() {
        answerSettings(false);
        showWindow();
        ASSERT_TRUE(OfflineMode);
    }

    std::string traceText() const { return s8(w->RE_I2CMonitor->toPlainText()); }
    std::string caption() const { return s8(w->windowTitle()); }
    std::string panel(int i) const { return s8(w->panelText(i)); }

    static bool waitFor(const std::function<bool()>& cond, int ms = 10000) {
        return QTest::qWaitFor(cond, ms);
    }

    std::vector<dialogs::Request> messages() const {
        std::vector<dialogs::Request> out;
        for (const auto& r : asked)
            if (r.kind == dialogs::Kind::Message) out.push_back(r);
        return out;
    }
};

}  // namespace kevotest
